// The desktop host's question (Delete asks it when no copy can be kept in the library): a real
// Yes/No box with No as the default, shown on the GUI thread while the asking worker waits, and
// the button pressed is the answer.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "ui/core/GuiHost.h"

namespace {

QMessageBox* VisibleQuestion() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible())
            return box;
    return nullptr;
}

}  // namespace

class GuiHostQuestionTest : public QObject {
    Q_OBJECT

private slots:
    void aWorkerWaitsForTheAnswerGivenInTheBox() {
        for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
            CGuiHost host;
            int opened = 0;
            connect(&host, &CGuiHost::messageOpening, this, [&] { ++opened; });
            std::atomic<int> answer{-1};
            std::thread worker([&] {
                answer = host.AskYesNo("Delete it anyway?", {}) ? 1 : 0;
            });
            // The box runs its own event loop: it is answered from a timer inside that loop.
            QString text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            bool noIsDefault = false;
            int answerWhileShown = -2;
            QTimer clicker;
            connect(&clicker, &QTimer::timeout, this, [&] {
                QMessageBox* box = VisibleQuestion();
                if (box == nullptr) return;
                clicker.stop();
                text = box->text();
                icon = box->icon();
                noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
                answerWhileShown = answer.load();
                QTest::mouseClick(box->button(button), Qt::LeftButton);
            });
            clicker.start(20);
            QTRY_VERIFY_WITH_TIMEOUT(answer.load() != -1, 20000);
            QCOMPARE(text, QStringLiteral("Delete it anyway?"));
            QCOMPARE(icon, QMessageBox::Question);
            QVERIFY(noIsDefault);
            QCOMPARE(answerWhileShown, -1);  // the worker waited for the answer
            worker.join();
            QCOMPARE(answer.load(), button == QMessageBox::Yes ? 1 : 0);
            QCOMPARE(opened, 1);
        }
    }
};

QTEST_MAIN(GuiHostQuestionTest)
#include "GuiHostQuestionTest.moc"
