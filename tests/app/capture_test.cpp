// Scan capture in the kiosk window: what typed characters do to the scan buffer, when
// a lookup starts, and the exit question behind Esc.
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <memory>

#include "UfrmPrincipal.h"
#include "kiosk_fixture.h"
#include "varnok/UfrmMessageBox.h"
#include "varnok/regional.h"

using varnok::TfrmVarnok;
using namespace varnok::test;

class CaptureTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    varnok::installConfirmationDialog();
    varnok::setRegionalSettings({u',', u'/', u':'});
    server_.setReply(successReply(R"([{"id":1,"nome":"Produto","preco_venda":1.5}])"));
  }

  void init() {
    KioskIni ini;
    ini.porta = server_.port();
    folder_ = std::make_unique<KioskFolder>();
    folder_->writeSettings(ini);
    requestsBefore_ = receivedRequests(server_).size();
    window_ = std::make_unique<TfrmVarnok>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() {
    window_.reset();
    QVERIFY(folder_->loggedMessages().isEmpty());
    folder_.reset();
  }

  void typedKeys_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("lookedUp");
    QTest::addColumn<QString>("bufferAfter");

    QTest::newRow("8 digits and Enter are padded")
        << "12345670\r" << QStringList{lookupRequest("0000012345670")} << "";
    QTest::newRow("13th digit looks up, its Enter changes nothing")
        << "7891234567895\r" << QStringList{lookupRequest("7891234567895")} << "";
    QTest::newRow("14 digits and Enter are two codes")
        << "78912345678951\r"
        << QStringList{lookupRequest("7891234567895"), lookupRequest("0000000000001")} << "";
    QTest::newRow("Enter on an empty buffer") << "\r" << QStringList{} << "";
    QTest::newRow("Enter twice after a short code")
        << "123\r\r" << QStringList{lookupRequest("0000000000123")} << "";
    QTest::newRow("letters between digits are skipped") << "12a3" << QStringList{} << "123";
    QTest::newRow("signs, Tab and Backspace are skipped") << "1-\t2\b+3 " << QStringList{} << "123";
    QTest::newRow("digits without Enter start the next code") << "4567" << QStringList{} << "4567";
    QTest::newRow("twelve digits wait for more")
        << "789123456789" << QStringList{} << "789123456789";
  }

  void typedKeys() {
    QFETCH(QString, keys);
    QFETCH(QStringList, lookedUp);
    QFETCH(QString, bufferAfter);
    typeKeys(window_.get(), keys);
    QCOMPARE(receivedRequests(server_).mid(requestsBefore_), lookedUp);
    QCOMPARE(QString::fromStdU16String(window_->scanBuffer()), bufferAfter);
  }

  // Key preview: a key sent to a child reaches the window's handler, once.
  void keysSentToChildrenReachTheWindow() {
    typeKeys(window_->lblProduto2, "12");
    typeKeys(window_->pnl1, "3\r");
    QCOMPARE(receivedRequests(server_).mid(requestsBefore_),
             QStringList{lookupRequest("0000000000123")});
  }

  void escapeAnsweredNaoKeepsTheBuffer() {
    typeKeys(window_.get(), "123");
    // A height tmr1 would never set, once the first activation's tmr1 is over: only the
    // reactivation after the dialog sets it again.
    QTRY_VERIFY(!window_->tmr1->isActive());
    window_->lblData->setFixedHeight(1);
    ModalAnswer answer([](QWidget* dialog) { clickButton(dialog, QStringLiteral("Não")); });
    const LoopEnd end = runInEventLoop([&] { typeKeys(window_.get(), "\x1b"); });
    QVERIFY(answer.answered());
    QVERIFY2(answer.dialogText().contains(QStringLiteral("Deseja Fechar o Sistema?")),
             qPrintable(answer.dialogText()));
    QCOMPARE(end, LoopEnd::stillRunning);
    QVERIFY(window_->isVisible());
    QCOMPARE(QString::fromStdU16String(window_->scanBuffer()), QStringLiteral("123"));
    QTRY_COMPARE(window_->lblData->height(), static_cast<int>(window_->pnl2->height() * 0.1));
    // The next scan goes on from the kept digits.
    typeKeys(window_.get(), "4567890123");
    QCOMPARE(receivedRequests(server_).mid(requestsBefore_),
             QStringList{lookupRequest("1234567890123")});
  }

  void escapeAnswered_data() {
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("click on Sim") << false;
    QTest::newRow("Enter, Sim has the focus") << true;
  }

  // "Sim" ends the event loop once the key's handling is over; the window closes.
  void escapeAnswered() {
    QFETCH(bool, byEnter);
    typeKeys(window_.get(), "45");
    ModalAnswer answer([byEnter](QWidget* dialog) {
      if (byEnter) {
        pressEnter(dialog);
      } else {
        clickButton(dialog, QStringLiteral("Sim"));
      }
    });
    bool handlerReturned = false;
    const LoopEnd end = runInEventLoop([&] {
      typeKeys(window_.get(), "\x1b");
      handlerReturned = true;
    });
    QVERIFY(answer.answered());
    QVERIFY(handlerReturned);
    QCOMPARE(end, LoopEnd::quitRequested);
    QVERIFY(!window_->isVisible());
    QCOMPARE(QString::fromStdU16String(window_->scanBuffer()), QStringLiteral("45"));
    QCOMPARE(receivedRequests(server_).size(), requestsBefore_);
  }

 private:
  ScriptedServer server_;
  std::unique_ptr<KioskFolder> folder_;
  std::unique_ptr<TfrmVarnok> window_;
  qsizetype requestsBefore_ = 0;
};

QTEST_MAIN(CaptureTest)
#include "capture_test.moc"
