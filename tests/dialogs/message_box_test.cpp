// Drives the modal confirmation dialog as a customer would: a timer waits until
// AskConfirmation has shown it, then types keys or clicks into it.
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "varnok/UfrmMessageBox.h"
#include "varnok/confirmation.h"

namespace varnok {
namespace {

// Runs an action on the dialog once it is the active modal widget. A watchdog closes a
// dialog that the action left open, so that a failing check cannot hang the test.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(TfrmMessageBox&)> action) : action_(std::move(action)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { poll(); });
    poll_.start(10);
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      leftOpen_ = frmMessageBox != nullptr;
      if (leftOpen_) frmMessageBox->windowHandle()->close();
    });
  }

  // True once the action ran and did not leave the dialog open.
  bool finished() const { return ran_ && !leftOpen_; }

 private:
  void poll() {
    auto* dialog = qobject_cast<TfrmMessageBox*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    poll_.stop();
    ran_ = true;
    watchdog_.start(10000);
    action_(*dialog);
  }

  std::function<void(TfrmMessageBox&)> action_;
  QTimer poll_;
  QTimer watchdog_;
  bool ran_ = false;
  bool leftOpen_ = false;
};

// Asks the question and lets the driver act on the dialog; returns the answer.
std::int32_t ask(std::u16string_view message, std::function<void(TfrmMessageBox&)> action) {
  DialogDriver driver(std::move(action));
  const std::int32_t answer = AskConfirmation(message);
  // A check that failed inside the action has left the dialog to the watchdog.
  if (!driver.finished()) QTest::qFail("the dialog was not driven to its end", __FILE__, __LINE__);
  return answer;
}

void typeKey(TfrmMessageBox& dialog, Qt::Key key) {
  QWidget* target = dialog.focusWidget() != nullptr ? dialog.focusWidget() : &dialog;
  QTest::keyClick(target, key);
}

int buttonTop(const TfrmMessageBox& dialog) {
  return dialog.btnSim->mapTo(&dialog, QPoint()).y();
}

}  // namespace

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { installConfirmationDialog(); }

  void init() { ConfirmationResult = 0; }

  void cleanup() {
    QVERIFY(frmMessageBox == nullptr);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
  }

  void exitMessageKeepsTheDesignHeight() {
    const std::int32_t answer = ask(u"Deseja Fechar o Sistema?", [](TfrmMessageBox& dialog) {
      QCOMPARE(frmMessageBox, &dialog);
      QCOMPARE(dialog.windowTitle(), QStringLiteral("frmMessageBox"));
      QVERIFY(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
      QCOMPARE(dialog.memoMsg->toPlainText(), QStringLiteral("Deseja Fechar o Sistema?\n\n"));
      QCOMPARE(dialog.displayedLineCount(), 2);
      QCOMPARE(dialog.size(), QSize(540, 208));
      QCOMPARE(buttonTop(dialog), 157);
      const QRect screen = dialog.screen()->geometry();
      QCOMPARE(dialog.geometry().center().x() - screen.center().x(), 0);
      QCOMPARE(dialog.geometry().center().y() - screen.center().y(), 0);
      const QFontInfo font(dialog.memoMsg->font());
      QVERIFY2(font.family() == QStringLiteral("Tahoma") ||
                   font.family() == QStringLiteral("DejaVu Sans"),
               qPrintable(font.family()));
      QCOMPARE(font.pixelSize(), 13);
      QVERIFY(font.bold());
      QCOMPARE(dialog.memoMsg->palette().color(QPalette::Text), QColor(128, 0, 0));
      QCOMPARE(dialog.btnSim->style()->name(), QStringLiteral("fusion"));
      // The navy frame around the two panels, as drawn.
      const QImage image = dialog.grab().toImage();
      QCOMPARE(QColor(image.pixel(2, 2)), QColor(0, 0, 128));
      QCOMPARE(QColor(image.pixel(537, 205)), QColor(0, 0, 128));
      QCOMPARE(QColor(image.pixel(10, 10)), QColor(185, 209, 234));
      QCOMPARE(QColor(image.pixel(10, 200)), QColor(215, 228, 242));
      QCOMPARE(dialog.focusWidget(), dialog.btnSim);
      QTest::mouseClick(dialog.btnSim, Qt::LeftButton);
    });
    QCOMPARE(answer, 6);
  }

  void heightFollowsTheDisplayedLines_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("height");
    // Every line of the message is followed by an empty line.
    QTest::newRow("one line") << "Linha 1" << 2 << 208;
    QTest::newRow("three lines") << "a\r\nb\r\nc" << 6 << 208;
    QTest::newRow("four lines") << "Linha 1\r\nLinha 2\r\nLinha 3\r\nLinha 4" << 8 << 226;
    QTest::newRow("five lines") << "a\r\nb\r\nc\r\nd\r\ne" << 10 << 259;
    QTest::newRow("six lines") << "a\r\nb\r\nc\r\nd\r\ne\r\nf" << 12 << 292;
    // A line break at the end adds one line and its empty line.
    QTest::newRow("trailing break") << "a\r\nb\r\nc\r\nd\r\n" << 10 << 259;
  }

  void heightFollowsTheDisplayedLines() {
    QFETCH(QString, message);
    QFETCH(int, lines);
    QFETCH(int, height);
    ask(message.toStdU16String(), [&](TfrmMessageBox& dialog) {
      QCOMPARE(dialog.displayedLineCount(), lines);
      QCOMPARE(dialog.height(), height);
      QCOMPARE(dialog.width(), 540);
      // pnl3 and the text stretch, pnl2 and its buttons move down, the circle stays.
      const int grow = height - 208;
      QCOMPARE(dialog.pnl3->height(), 138 + grow);
      QCOMPARE(dialog.memoMsg->height(), 116 + grow);
      QCOMPARE(dialog.pnl2->y(), 144 + grow);
      QCOMPARE(buttonTop(dialog), 157 + grow);
      QCOMPARE(dialog.btnNao->mapTo(&dialog, QPoint()).y(), 157 + grow);
      QCOMPARE(dialog.shp1->mapTo(&dialog, QPoint()), QPoint(19, 39));
      QCOMPARE(dialog.geometry().center().y() - dialog.screen()->geometry().center().y(), 0);
      QTest::mouseClick(dialog.btnNao, Qt::LeftButton);
    });
  }

  void wrappedLinesCount() {
    std::u16string longLine;
    for (int i = 0; i < 12; ++i) longLine += u"palavra comprida ";
    ask(longLine + u"\r\nb\r\nc\r\nd", [](TfrmMessageBox& dialog) {
      const int lines = dialog.displayedLineCount();
      QVERIFY2(lines > 8, qPrintable(QString::number(lines)));
      QCOMPARE(dialog.height(), dialogHeightForLines(lines));
      QTest::mouseClick(dialog.btnNao, Qt::LeftButton);
    });
  }

  void enterAnswersSim() {
    QCOMPARE(ask(u"Deseja Fechar o Sistema?",
                 [](TfrmMessageBox& dialog) { typeKey(dialog, Qt::Key_Return); }),
             6);
    QCOMPARE(ConfirmationResult, 6);
  }

  void keysActivateTheFocusedButton_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("enter") << int(Qt::Key_Return);
    QTest::newRow("keypad enter") << int(Qt::Key_Enter);
  }

  void keysActivateTheFocusedButton() {
    QFETCH(int, key);
    ConfirmationResult = 6;
    const std::int32_t answer = ask(u"Pergunta", [key](TfrmMessageBox& dialog) {
      typeKey(dialog, Qt::Key_Tab);
      QCOMPARE(dialog.focusWidget(), dialog.btnNao);
      typeKey(dialog, Qt::Key(key));
    });
    QCOMPARE(answer, 0);
  }

  void clickOnNaoAnswersZero() {
    ConfirmationResult = 6;
    QCOMPARE(ask(u"Pergunta",
                 [](TfrmMessageBox& dialog) { QTest::mouseClick(dialog.btnNao, Qt::LeftButton); }),
             0);
    QCOMPARE(ConfirmationResult, 0);
  }

  void escapeAndEnterOutsideTheButtonsDoNothing() {
    const std::int32_t answer = ask(u"Pergunta", [](TfrmMessageBox& dialog) {
      typeKey(dialog, Qt::Key_Escape);
      QCoreApplication::processEvents();
      QVERIFY(dialog.isVisible());
      QCOMPARE(dialog.result(), int(QDialog::Rejected));
      // Tab order: text, "Sim", "Não", and round to the text again.
      typeKey(dialog, Qt::Key_Tab);
      typeKey(dialog, Qt::Key_Tab);
      QCOMPARE(dialog.focusWidget(), dialog.memoMsg);
      typeKey(dialog, Qt::Key_Escape);
      typeKey(dialog, Qt::Key_Return);
      QCoreApplication::processEvents();
      QVERIFY(dialog.isVisible());
      QCOMPARE(ConfirmationResult, 0);
      QTest::mouseClick(dialog.btnSim, Qt::LeftButton);
    });
    QCOMPARE(answer, 6);
  }

  void clickInTheTextGivesFocusBackToSim() {
    const std::int32_t answer = ask(u"Deseja Fechar o Sistema?", [](TfrmMessageBox& dialog) {
      typeKey(dialog, Qt::Key_Tab);
      QCOMPARE(dialog.focusWidget(), dialog.btnNao);
      QTest::mouseClick(dialog.memoMsg->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
      QCOMPARE(dialog.focusWidget(), dialog.btnSim);
      typeKey(dialog, Qt::Key_Return);
    });
    QCOMPARE(answer, 6);
  }

  void closeCommandKeepsThePreviousAnswer() {
    const auto closeByWindowSystem = [](TfrmMessageBox& dialog) { dialog.windowHandle()->close(); };
    QCOMPARE(ask(u"Pergunta", closeByWindowSystem), 0);
    QCOMPARE(ask(u"Pergunta", [](TfrmMessageBox& dialog) { typeKey(dialog, Qt::Key_Return); }), 6);
    QCOMPARE(ask(u"Pergunta", closeByWindowSystem), 6);
    QCOMPARE(ConfirmationResult, 6);
  }

  void timerBringsTheDialogBackToTheFront() {
    ask(u"Pergunta", [](TfrmMessageBox& dialog) {
      QVERIFY(dialog.tmr1->isActive());
      QCOMPARE(dialog.tmr1->interval(), 1000);
      // Another window takes the activation away, as the main window might.
      QWidget other;
      other.show();
      other.activateWindow();
      QTRY_COMPARE(QApplication::activeWindow(), &other);
      // One tick, as the timer gives it once a second.
      QVERIFY(QMetaObject::invokeMethod(dialog.tmr1, "timeout"));
      QTRY_COMPARE(QApplication::activeWindow(), &dialog);
      QTest::mouseClick(dialog.btnNao, Qt::LeftButton);
    });
  }

  void askingWithoutAnInstalledDialogFails() {
    setConfirmationDialogRunner({});
    try {
      AskConfirmation(u"Pergunta");
      installConfirmationDialog();
      QFAIL("AskConfirmation answered without a dialog");
    } catch (const std::logic_error& error) {
      installConfirmationDialog();
      QCOMPARE(error.what(), "AskConfirmation: no confirmation dialog is installed");
    }
  }

  void rebuildDoublesEachLineBreak_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one line") << "Deseja Fechar o Sistema?\r\n"
                              << "Deseja Fechar o Sistema?\r\n\r\n";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("two lines") << "a\r\nb\r\n"
                               << "a\r\n\r\nb\r\n\r\n";
    QTest::newRow("lone CR") << "a\rb"
                             << "a\r\n\rb";
    QTest::newRow("lone LF") << "a\nb"
                             << "a\nb";
    QTest::newRow("code page") << "Não € ½\r\n"
                               << "Não € ½\r\n\r\n";
    QTest::newRow("outside the code page") << "中 Ā 😀\r\n"
                                           << "? ? ?\r\n\r\n";
  }

  void rebuildDoublesEachLineBreak() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdU16String(rebuildMessageText(text.toStdU16String())), expected);
  }

  void heightRule_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("height");
    const std::pair<int, int> cases[] = {{0, 208}, {2, 208},  {7, 208},  {8, 226},
                                         {9, 243}, {10, 259}, {12, 292}, {15, 341}};
    for (const auto& [lines, height] : cases) {
      QTest::addRow("%d lines", lines) << lines << height;
    }
  }

  void heightRule() {
    QFETCH(int, lines);
    QFETCH(int, height);
    QCOMPARE(dialogHeightForLines(lines), height);
  }
};

}  // namespace varnok

QTEST_MAIN(varnok::MessageBoxTest)
#include "message_box_test.moc"
