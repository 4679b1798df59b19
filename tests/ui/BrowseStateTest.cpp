// The browsing state: each change is announced once, by its own signal, and only when the value
// really changed; the channel stays within 0..15.

#include <QMetaMethod>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "ui/core/BrowseState.h"

using StateChange = std::function<void(CBrowseState&)>;
Q_DECLARE_METATYPE(StateChange)

namespace {

// A spy on every signal of the state, by signal name.
class CAllSignals {
public:
    explicit CAllSignals(CBrowseState& state) {
        const QMetaObject& meta = CBrowseState::staticMetaObject;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod method = meta.method(i);
            if (method.methodType() != QMetaMethod::Signal) continue;
            m_names << QString::fromLatin1(method.name());
            m_spies.push_back(std::make_unique<QSignalSpy>(&state, method));
        }
    }
    // "name(arguments)" of each signal emitted since the last call.
    QStringList Take() {
        QStringList emitted;
        for (std::size_t i = 0; i < m_spies.size(); ++i) {
            for (const QList<QVariant>& arguments : std::as_const(*m_spies[i])) {
                QStringList values;
                for (const QVariant& value : arguments) values << value.toString();
                emitted << QStringLiteral("%1(%2)").arg(m_names[static_cast<qsizetype>(i)],
                                                        values.join(QLatin1Char(',')));
            }
            m_spies[i]->clear();
        }
        return emitted;
    }
    qsizetype Count() const { return m_names.size(); }

private:
    QStringList m_names;
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};

}  // namespace

class BrowseStateTest : public QObject {
    Q_OBJECT

private slots:
    void eachChangeIsAnnouncedOnceByItsOwnSignal_data() {
        QTest::addColumn<StateChange>("change");
        QTest::addColumn<QString>("signal");
        using F = StateChange;
        QTest::newRow("level") << F([](CBrowseState& s) { s.SetLevel(1); })
                               << QStringLiteral("levelChanged(1)");
        QTest::newRow("bank") << F([](CBrowseState& s) { s.SetCurrentBank(10); })
                              << QStringLiteral("currentBankChanged(10)");
        QTest::newRow("bank index") << F([](CBrowseState& s) { s.SetBankIndex(3); })
                                    << QStringLiteral("bankIndexChanged(3)");
        QTest::newRow("dsp") << F([](CBrowseState& s) { s.SetDsp(2); })
                             << QStringLiteral("dspChanged(2)");
        QTest::newRow("channel") << F([](CBrowseState& s) { s.SetChannel(5); })
                                 << QStringLiteral("channelChanged(5)");
        QTest::newRow("channel above 16")
            << F([](CBrowseState& s) { s.SetChannel(40); }) << QStringLiteral("channelChanged(15)");
        QTest::newRow("pane") << F([](CBrowseState& s) { s.SetShowInfoPane(false); })
                              << QStringLiteral("showInfoPaneChanged(false)");
        QTest::newRow("loaded on B") << F([](CBrowseState& s) {
            s.SetLoaded(2, {4, 10});
        }) << QStringLiteral("loadedChanged(2)");
        QTest::newRow("info of A") << F([](CBrowseState& s) { s.SetInfo(1, QStringLiteral("x")); })
                                   << QStringLiteral("infoChanged(1)");
        QTest::newRow("find") << F([](CBrowseState& s) { s.SetFindText(QStringLiteral("hall")); })
                              << QStringLiteral("findTextChanged(hall)");
        QTest::newRow("title") << F([](CBrowseState& s) { s.SetTitle(QStringLiteral("Banks")); })
                               << QStringLiteral("titleChanged(Banks)");
    }

    void eachChangeIsAnnouncedOnceByItsOwnSignal() {
        QFETCH(StateChange, change);
        QFETCH(QString, signal);
        CBrowseState state;
        CAllSignals announced(state);
        QCOMPARE(announced.Count(), 10);
        change(state);
        QCOMPARE(announced.Take(), QStringList{signal});
        // The same value again is no change: nobody is told.
        change(state);
        QCOMPARE(announced.Take(), QStringList());
    }

    void settingWhatIsThereAlreadyIsSilent() {
        CBrowseState state;
        CAllSignals announced(state);
        state.SetLevel(state.Level());
        state.SetCurrentBank(state.CurrentBank());
        state.SetBankIndex(state.BankIndex());
        state.SetDsp(state.Dsp());
        state.SetChannel(state.Channel());
        state.SetShowInfoPane(state.ShowInfoPane());
        state.ClearLoaded(1);
        state.ClearLoaded(2);
        state.SetInfo(1, state.Info(1));
        state.SetFindText(state.FindText());
        state.SetTitle(state.Title());
        state.SetChannel(-3);  // clamped to 0, where it is
        QCOMPARE(announced.Take(), QStringList());
        // A program loaded and cleared again is told both times.
        state.SetLoaded(1, {2, 7});
        state.ClearLoaded(1);
        QCOMPARE(announced.Take(), (QStringList{QStringLiteral("loadedChanged(1)"),
                                                QStringLiteral("loadedChanged(1)")}));
    }
};

QTEST_MAIN(BrowseStateTest)
#include "BrowseStateTest.moc"
