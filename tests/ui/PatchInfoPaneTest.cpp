// The Patch Info pane as its users meet it: readable under the desktop's colours (dark and
// high-contrast themes included), its text selectable and copyable but not editable, shown and
// read out to screen readers as the unit sent it, and taking dropped files as the list does.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QUrl>
#include <cmath>
#include <map>

#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/view/PatchInfoPane.h"

namespace {

// Relative luminance of a colour (sRGB), as contrast ratios are defined on it.
double Luminance(QRgb rgb) {
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

double ContrastRatio(QRgb a, QRgb b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What a widget shows on screen: the colour most of it is painted in (its ground), and the
// highest contrast any other pixel has against it (its text, where there is text).
struct Rendering {
    QRgb ground = 0;
    double strongestContrast = 1.0;
};

Rendering Render(QWidget* widget) {
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y) | 0xff000000u];
    Rendering result;
    int most = 0;
    for (const auto& [rgb, count] : counts) {
        if (count > most) {
            most = count;
            result.ground = rgb;
        }
    }
    for (const auto& entry : counts)
        result.strongestContrast =
            std::max(result.strongestContrast, ContrastRatio(entry.first, result.ground));
    return result;
}

// The application's palette for one test, as a desktop theme would set it.
class CScopedPalette {
public:
    explicit CScopedPalette(const QPalette& palette) : m_saved(QApplication::palette()) {
        QApplication::setPalette(palette);
    }
    ~CScopedPalette() { QApplication::setPalette(m_saved); }

private:
    QPalette m_saved;
};

QString SelectedText(const QPlainTextEdit* text) {
    return text->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// Delivers a drag and a drop through the main window, which hands them to the widget under the
// pointer that takes drops, as the window system's drag does. Whether the drop was taken.
bool DropThroughWindow(CUiFixture& f, QWidget* over, const QPoint& at, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QWindow* window = f.frame->windowHandle();
    const QPoint inWindow = over->mapTo(f.frame.get(), at);
    QDragEnterEvent enter(inWindow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QDragMoveEvent move(inWindow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    if (!move.isAccepted()) return false;
    QDropEvent drop(inWindow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

}  // namespace

class PatchInfoPaneTest : public QObject {
    Q_OBJECT

private slots:
    void theTextStandsOutFromItsGroundInEveryTheme_data() {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("button");
        QTest::addColumn<QColor>("buttonText");
        QTest::newRow("dark") << QColor(0x30, 0x30, 0x30) << QColor(0x20, 0x20, 0x20)
                              << QColor(0xe0, 0xe0, 0xe0) << QColor(0x3a, 0x3a, 0x3a)
                              << QColor(0xe0, 0xe0, 0xe0);
        QTest::newRow("high contrast, dark") << QColor(Qt::black) << QColor(Qt::black)
                                             << QColor(Qt::white) << QColor(Qt::black)
                                             << QColor(Qt::yellow);
        QTest::newRow("high contrast, light") << QColor(Qt::white) << QColor(Qt::white)
                                              << QColor(Qt::black) << QColor(Qt::white)
                                              << QColor(Qt::black);
    }

    void theTextStandsOutFromItsGroundInEveryTheme() {
        QFETCH(QColor, window);
        QFETCH(QColor, base);
        QFETCH(QColor, text);
        QFETCH(QColor, button);
        QFETCH(QColor, buttonText);
        CUiFixture f;
        f.Start();
        f.OpenBank(3);
        f.ActivateProgram(1);

        // The desktop switches to the theme while the program runs.
        QPalette palette(QApplication::palette());
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::Button, button);
        palette.setColor(QPalette::ButtonText, buttonText);
        CScopedPalette theme(palette);
        QApplication::processEvents();

        CPatchInfoPane* pane = f.View().Pane();
        QVERIFY(pane->isVisible());
        const Rendering body = Render(pane->TextView()->viewport());
        QCOMPARE(QColor(body.ground), base);
        QVERIFY2(body.strongestContrast >= 4.5,
                 qPrintable(QStringLiteral("text contrast %1").arg(body.strongestContrast)));
        const Rendering title = Render(pane->Title());
        QCOMPARE(QColor(title.ground), button);
        QVERIFY2(title.strongestContrast >= 4.5,
                 qPrintable(QStringLiteral("title contrast %1").arg(title.strongestContrast)));
    }

    void theTextCanBeSelectedAndCopiedButNotChanged() {
        CUiFixture f;
        f.Start();
        f.OpenBank(3);
        f.ActivateProgram(1);
        const QString shown = f.View().PaneText();
        QVERIFY(shown.startsWith(QStringLiteral("A perfect fifth above the input.")));
        QPlainTextEdit* text = f.View().Pane()->TextView();

        // With the keyboard: the pane takes the focus, the whole text is selected and copied.
        QCOMPARE(text->focusPolicy(), Qt::StrongFocus);
        QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(SelectedText(text), shown);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), shown);

        // With the mouse: a double click selects the word under the pointer.
        QTextCursor word(text->document());
        word.movePosition(QTextCursor::Start);
        word.movePosition(QTextCursor::NextWord);  // "perfect"
        const QPoint onWord = text->cursorRect(word).center() + QPoint(8, 0);
        QTest::mouseDClick(text->viewport(), Qt::LeftButton, Qt::NoModifier, onWord);
        QCOMPARE(SelectedText(text), QStringLiteral("perfect"));
        // ... and a drag from there to the end of the text selects that stretch.
        QTextCursor end(text->document());
        end.movePosition(QTextCursor::End);
        const QPoint atEnd = text->cursorRect(end).center();
        QTest::mousePress(text->viewport(), Qt::LeftButton, Qt::NoModifier, onWord);
        QTest::mouseMove(text->viewport(), atEnd);
        QTest::mouseRelease(text->viewport(), Qt::LeftButton, Qt::NoModifier, atEnd);
        QVERIFY2(shown.endsWith(SelectedText(text)) && SelectedText(text).size() > 20,
                 qPrintable(SelectedText(text)));

        // Typing, pasting and cutting change nothing.
        QTest::keyClicks(text, QStringLiteral("xyz"));
        QTest::keyClick(text, Qt::Key_Backspace);
        QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.View().Pane()->Text(), shown);
        QCOMPARE(f.View().PaneText(), shown);
    }

    // Markup and "&" in the unit's text are shown as they are, and that is what a screen reader
    // reads out, under the pane's name.
    void theUnitsTextIsShownAndReadOutAsItIs() {
        CUiFixture f;
        f.unit.AddProgram(12, 9, sim::MakeProgramText("Marked Up", "Hall", 30, {"a & b <i>x</i>"}),
                          true);
        f.Start();
        f.OpenBank(12);
        f.ActivateProgram(9);
        const QString expected = QStringLiteral("a & b <i>x</i>");
        CPatchInfoPane* pane = f.View().Pane();
        QVERIFY2(pane->Text().startsWith(expected), qPrintable(pane->Text()));
        // Nothing was taken for markup: one plain fragment, nothing in italics.
        const QTextBlock block = pane->TextView()->document()->firstBlock();
        for (auto it = block.begin(); !it.atEnd(); ++it) QVERIFY(!it.fragment().charFormat().fontItalic());
        QCOMPARE(pane->Title()->text(), QStringLiteral("Patch Info"));

        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(pane->TextView());
        QVERIFY(reader != nullptr);
        QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("Patch Info"));
        QVERIFY(reader->state().readOnly);
        QAccessibleTextInterface* readerText = reader->textInterface();
        QVERIFY(readerText != nullptr);
        QVERIFY2(readerText->text(0, readerText->characterCount()).startsWith(expected),
                 qPrintable(readerText->text(0, readerText->characterCount())));
    }

    // A ".sig" file dropped on the pane's text is loaded as one dropped on the list is; at the
    // bank level, where the pane is hidden, nothing takes it.
    void aFileDroppedOnThePaneIsLoadedAsOnTheList() {
        CUiFixture f;
        f.Start();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dropped.sig"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::fromStdString(
                sim::MakeProgramText("Dropped On Pane", "Hall", 25, {"From the pane."})));
        }
        const QList<QUrl> urls = {QUrl::fromLocalFile(path)};
        f.OpenBank(12);
        const auto before = f.unit.Programs(12).size();
        QPlainTextEdit* text = f.View().Pane()->TextView();
        QVERIFY(DropThroughWindow(f, text->viewport(), QPoint(20, 20), urls));
        QTRY_VERIFY_WITH_TIMEOUT(f.View().PaneText().startsWith(QStringLiteral("From the pane.")),
                                 30000);
        f.Settle();
        QCOMPARE(f.unit.Programs(12).size(), before + 1);
        QCOMPARE(f.unit.LoadedProgram(1)->name, std::string("Dropped On Pane"));
        QCOMPARE(text->toPlainText(), f.View().PaneText());
    }
};

QTEST_MAIN(PatchInfoPaneTest)
#include "PatchInfoPaneTest.moc"
