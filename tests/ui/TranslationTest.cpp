// The program's texts in the user's language: the window, a message and a question as they show
// with the system's language set as a user sets it (LANG; ctest runs this program once with
// LANG=de_DE.UTF-8 and once with LANG=C), and the German translation checked against the code.

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <map>

#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/shell/Translations.h"

namespace {

// What the window shows in one language.
struct Expected {
    bool ourTranslation;  // InstallTranslations finds one of ours
    QStringList menus;
    QString patchInfo;
    QString findShortcut;  // Qt's own text for Ctrl+F
    QString notFound;
    QString question;
    QString yes;
    QString no;
    QString onePatch;
    QString threePatches;
};

const std::map<QString, Expected>& ExpectedTexts() {
    static const std::map<QString, Expected> texts = {
        {QStringLiteral("en"),
         {false,
          {QStringLiteral("&File"), QStringLiteral("&View"), QStringLiteral("&Options"),
           QStringLiteral("&Tools"), QStringLiteral("&Help")},
          QStringLiteral("&Patch Info"),
          QStringLiteral("Ctrl+F"),
          QStringLiteral("Cannot find nothing like it"),
          QStringLiteral("Bank 5 \"Dynamics\" exists. Rename it to \"Dupe\"?"),
          QStringLiteral("&Yes"),
          QStringLiteral("&No"),
          QStringLiteral("1 patches"),  // the fixed English text, as it always read
          QStringLiteral("3 patches")}},
        {QStringLiteral("de"),
         {true,
          {QStringLiteral("&Datei"), QStringLiteral("&Ansicht"), QStringLiteral("&Optionen"),
           QStringLiteral("&Extras"), QStringLiteral("&Hilfe")},
          QStringLiteral("&Patch-Info"),
          QStringLiteral("Strg+F"),
          QStringLiteral("Nicht gefunden: nothing like it"),
          QStringLiteral("Bank 5 \"Dynamics\" ist vorhanden. In \"Dupe\" umbenennen?"),
          QStringLiteral("&Ja"),
          QStringLiteral("&Nein"),
          QStringLiteral("1 Patch"),
          QStringLiteral("3 Patches")}},
    };
    return texts;
}

// The placeholders of a text: %1 … %99 (also %L1), and %n.
QStringList Placeholders(const QString& text, bool withN) {
    static const QRegularExpression placeholder(QStringLiteral("%L?([0-9]{1,2}|n)"));
    QStringList found;
    for (const auto& match : placeholder.globalMatch(text)) {
        if (match.captured(1) == QLatin1String("n") && !withN) continue;
        found << match.captured(1);
    }
    found.sort();
    found.removeDuplicates();
    return found;
}

// Whether a text has a keyboard mnemonic ("&File"; "&&" is a plain ampersand).
bool HasMnemonic(QString text) {
    text.remove(QStringLiteral("&&"));
    static const QRegularExpression mnemonic(QStringLiteral("&[^\\s]"));
    return mnemonic.match(text).hasMatch();
}

// One message of a .ts file as lupdate wrote it.
struct Message {
    QString context;
    QString source;
    QString type;  // "" when finished, "unfinished", "vanished", "obsolete"
    bool numerus = false;
    QStringList forms;  // the translation, or the plural's forms
};

QList<Message> ReadTsFile(const QString& path, QString* error) {
    QList<Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        const auto name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            message = Message{
                context, {}, {}, xml.attributes().value("numerus") == QLatin1String("yes"), {}};
        } else if (name == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            message.type = xml.attributes().value("type").toString();
            if (message.numerus) {
                while (xml.readNextStartElement()) message.forms << xml.readElementText();
            } else {
                message.forms << xml.readElementText();
            }
            messages << message;
        }
    }
    if (xml.hasError()) *error = QStringLiteral("%1: %2").arg(path, xml.errorString());
    return messages;
}

// The translation of `tree` (its ui/ and translations/quorlin_de.ts) as the update script
// leaves it, with every text that has no sound German translation: "context: source: why".
QStringList GermanProblems(const QString& tree) {
    QTemporaryDir updated;
    QProcess script;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUPDATE"), QStringLiteral(QUORLIN_LUPDATE));
    script.setProcessEnvironment(env);
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral(QUORLIN_SOURCE_DIR "/scripts/update-translations.sh"),
                 {QStringLiteral("--root"), tree, QStringLiteral("--into"), updated.path()});
    if (!script.waitForFinished(120000) || script.exitStatus() != QProcess::NormalExit)
        return {QStringLiteral("the update script did not finish: ") + script.readAll()};
    const QString output = QString::fromUtf8(script.readAll());

    QString error;
    const QList<Message> messages =
        ReadTsFile(updated.filePath(QStringLiteral("quorlin_de.ts")), &error);
    if (!error.isEmpty()) return {error + QStringLiteral("\n") + output};
    QStringList problems;
    for (const Message& m : messages) {
        auto problem = [&](const QString& why) {
            problems << QStringLiteral("%1: %2: %3").arg(m.context, m.source, why);
        };
        if (m.type == QLatin1String("vanished") || m.type == QLatin1String("obsolete")) {
            problem(QStringLiteral("no longer in the code, still in the file"));
            continue;
        }
        if (m.type == QLatin1String("unfinished") || m.forms.isEmpty() ||
            m.forms.contains(QString())) {
            problem(QStringLiteral("no finished translation"));
            continue;
        }
        if (m.numerus && m.forms.size() != 2)
            problem(QStringLiteral("German has two plural forms"));
        for (const QString& form : m.forms) {
            // A plural's form may say "one" instead of "%n"; every other placeholder stays.
            if (Placeholders(form, !m.numerus) != Placeholders(m.source, !m.numerus))
                problem(QStringLiteral("placeholders differ: ") + form);
            if (HasMnemonic(m.source) && !HasMnemonic(form))
                problem(QStringLiteral("keyboard mnemonic lost: ") + form);
            if (form.count(QLatin1Char('\n')) != m.source.count(QLatin1Char('\n')))
                problem(QStringLiteral("line breaks differ: ") + form);
        }
    }
    // The script's own list of unfinished texts agrees: it is what a developer reads.
    const bool scriptSaysComplete = script.exitCode() == 0;
    const bool noneUnfinished = !std::any_of(
        problems.cbegin(), problems.cend(),
        [](const QString& p) { return p.endsWith(QLatin1String("no finished translation")); });
    if (scriptSaysComplete != noneUnfinished)
        problems << QStringLiteral("the update script says otherwise:\n") + output;
    return problems;
}

}  // namespace

class TranslationTest : public QObject {
    Q_OBJECT

private slots:
    void menusAndMessagesFollowTheSystemLanguage();
    void everyTextHasAFinishedGermanTranslation();
    void theCheckFindsEveryKindOfMissingTranslation();
};

// As the program does at its start: the system's language, from the environment.
void TranslationTest::menusAndMessagesFollowTheSystemLanguage() {
    const QString language = qEnvironmentVariable("QUORLIN_EXPECTED_LANGUAGE");
    const auto found = ExpectedTexts().find(language);
    if (found == ExpectedTexts().end())
        QSKIP("Run by ctest, which sets LANG and QUORLIN_EXPECTED_LANGUAGE (en or de)");
    const Expected& expected = found->second;
    QCOMPARE(InstallTranslations(QLocale()), expected.ourTranslation);

    CUiFixture f;
    f.Start();
    QStringList menus;
    for (QAction* menu : f.frame->menuBar()->actions()) menus << menu->text();
    QCOMPARE(menus, expected.menus);
    QStringList viewItems;
    for (QAction* item : f.frame->menuBar()->actions().at(1)->menu()->actions())
        viewItems << item->text();
    QVERIFY2(viewItems.contains(expected.patchInfo), qPrintable(viewItems.join(u", ")));
    QCOMPARE(QKeySequence(Qt::CTRL | Qt::Key_F).toString(QKeySequence::NativeText),
             expected.findShortcut);

    // A message through the host, and a question box with Qt's own buttons.
    f.Commands().m_fnFindDialog = [](QString& text) {
        text = QStringLiteral("nothing like it");
        return true;
    };
    f.Commands().OnFind();
    f.Settle();
    QCOMPARE(f.messages, QStringList{expected.notFound});

    int openings = 0;
    f.Commands().m_fnCreateBankDialog = [&openings](int& number, QString& name) {
        number = 5;
        name = QStringLiteral("Dupe");
        return ++openings == 1;
    };
    QStringList asked;
    CUiFixture::OnNextDialog([&asked](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        QVERIFY(box != nullptr);
        asked << box->text() << box->button(QMessageBox::Yes)->text()
              << box->button(QMessageBox::No)->text();
        box->button(QMessageBox::No)->click();
    });
    f.Commands().OnCreateBank();
    f.Settle();
    QCOMPARE(asked, (QStringList{expected.question, expected.yes, expected.no}));

    // The patch count, one and more.
    f.unit.AddBank(30, "Solo");
    f.unit.AddProgram(30, 0, sim::MakeProgramText("Only One", "Room", 20, {"x"}), true);
    f.unit.AddBank(31, "Trio");
    for (int i = 0; i < 3; ++i)
        f.unit.AddProgram(31, i, sim::MakeProgramText("Some", "Room", 20, {"x"}), true);
    f.Engine().StoreBankEntry(30, "Solo");
    f.Engine().StoreBankEntry(31, "Trio");
    QCOMPARE(f.ShowBanks(), 0);
    f.OpenBank(30);
    QCOMPARE(f.frame->PatchCountPane()->text(), expected.onePatch);
    f.View().OnBack();
    f.Settle();
    f.OpenBank(31);
    QCOMPARE(f.frame->PatchCountPane()->text(), expected.threePatches);
}

// lupdate over the code as it is now (not the .ts as last updated): a tr() text added since the
// last update shows as unfinished.
void TranslationTest::everyTextHasAFinishedGermanTranslation() {
    const QStringList problems = GermanProblems(QStringLiteral(QUORLIN_SOURCE_DIR));
    QVERIFY2(problems.isEmpty(),
             qPrintable(QStringLiteral("Run scripts/update-translations.sh and translate:\n") +
                        problems.join(QLatin1Char('\n'))));
}

// The check over a small tree with one fault of each kind beside sound entries, so that a check
// that finds nothing cannot pass by luck.
void TranslationTest::theCheckFindsEveryKindOfMissingTranslation() {
    // The script writes its updated copy elsewhere (--into): the fixture stays as it is.
    QCOMPARE(
        GermanProblems(QStringLiteral(QUORLIN_SOURCE_DIR "/tests/ui/translation-fixture")),
        (QStringList{
            QStringLiteral("Texts: Bank %1 of %2: placeholders differ: Bank %1"),
            QStringLiteral("Texts: Left unfinished: no finished translation"),
            QStringLiteral("Texts: &Open: keyboard mnemonic lost: Öffnen"),
            QStringLiteral("Texts: Tip\nTool tip: line breaks differ: Tipp"),
            QStringLiteral("Texts: %n programs: no finished translation"),
            QStringLiteral("Texts: A text added since the last update: no finished translation"),
        }));
}

QTEST_MAIN(TranslationTest)
#include "TranslationTest.moc"
