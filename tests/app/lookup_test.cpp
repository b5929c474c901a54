// The product lookup of the kiosk window against servers on 127.0.0.1: the bodies it
// sends, the lines it shows, what it logs, and the state it leaves behind.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>

#include "UfrmPrincipal.h"
#include "kiosk_fixture.h"
#include "raw_server.h"
#include "store_server_process.h"
#include "varnok/UfrmMessageBox.h"
#include "varnok/log.h"
#include "varnok/regional.h"

Q_DECLARE_METATYPE(varnok::test::ScriptedReply)

using varnok::TfrmVarnok;
using namespace varnok::test;

namespace {

const QString kLookupError = QStringLiteral("Erro ao Realizar Consultar no Servidor - ");
const QString kNotFound = QStringLiteral("PRODUTO NÃO LOCALIZADO!!!");

// A port on 127.0.0.1 that nothing listens on.
int closedPort() {
  QTcpServer probe;
  if (!probe.listen(QHostAddress::LocalHost, 0)) {
    return 0;
  }
  const int port = probe.serverPort();
  probe.close();
  return port;
}

}  // namespace

class LookupTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    varnok::installConfirmationDialog();
    varnok::setRegionalSettings({u',', u'/', u':'});
  }

  void init() {
    folder_ = std::make_unique<KioskFolder>();
    server_ = std::make_unique<ScriptedServer>();
  }

  void cleanup() {
    window_.reset();
    server_.reset();
    folder_.reset();
  }

  void ordinaryBarcodeShowsCodeNameAndPrice() {
    server_->setReply(successReply(
        R"([{"id":1001,"nome":"Arroz 5kg","preco_venda":21.9},{"id":2,"nome":"Outro","preco_venda":1}])"));
    startKiosk({});
    typeKeys(window_.get(), "7891234567895\r");
    QCOMPARE(lines(), (QStringList{"Cód: 7891234567895", "Arroz 5kg", "Preço Venda: 21,90"}));
    QCOMPARE(receivedRequests(*server_), QStringList{lookupRequest("7891234567895")});
    QVERIFY(window_->scanBuffer().empty());
    QVERIFY(window_->tmr3->isActive());
    QCOMPARE(folder_->loggedMessages(), QStringList{});
  }

  void ordinaryBarcodePrice_data() {
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("priceLine");
    QTest::newRow("zero price with P") << "P"
                                       << "0"
                                       << "Preço Venda: 0,00";
    QTest::newRow("rounded to cents") << "P"
                                      << "3.456"
                                      << "Preço Venda: 3,46";
    QTest::newRow("no weight setting") << "X"
                                       << "1234.5"
                                       << "Preço Venda: 1234,50";
  }

  void ordinaryBarcodePrice() {
    QFETCH(QString, tipo);
    QFETCH(QString, price);
    QFETCH(QString, priceLine);
    server_->setReply(
        successReply(R"([{"id":5,"nome":"Sal","preco_venda":)" + price.toStdString() + "}]"));
    KioskIni ini;
    ini.tipo = tipo.toStdString();
    startKiosk(ini);
    typeKeys(window_.get(), "0000078910003");
    QCOMPARE(lines(), (QStringList{"Cód: 0000078910003", "Sal", priceLine}));
    QCOMPARE(folder_->loggedMessages(), QStringList{});
  }

  void scaleLabel_data() {
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("weightLine");
    QTest::addColumn<QString>("qtd");
    QTest::newRow("P: thousandths") << "P"
                                    << "Peso: 1,250"
                                    << "1.25";
    QTest::newRow("T: total price over unit price") << "T"
                                                    << "Peso: 0,313"
                                                    << "0.313";
    QTest::newRow("small t computes no weight") << "t"
                                                << "Peso: 0,000"
                                                << "0";
  }

  void scaleLabel() {
    QFETCH(QString, tipo);
    QFETCH(QString, weightLine);
    QFETCH(QString, qtd);
    server_->setHandler([](const RecordedRequest& request) {
      if (request.target == "//app/salvarProdutoCheck") {
        return successReply(R"({"id":1})");
      }
      return successReply(R"([{"id":1041,"nome":"Queijo Mussarela kg","preco_venda":39.9}])");
    });
    KioskIni ini;
    ini.tipo = tipo.toStdString();
    ini.usuario = 7;
    ini.banco = "loja 12";
    startKiosk(ini);
    typeKeys(window_.get(), "2045600012508");
    QCOMPARE(lines(), (QStringList{"Cód: 000456", "Queijo Mussarela kg", weightLine}));
    const QString check =
        QStringLiteral(R"(//app/salvarProdutoCheck {"CNPJ":"loja 12","CODIGO":"0000000000456",)"
                       R"("ID_PRODUTO":1041,"CODIGO_BALANCA":"2045600012508","PRECO_VENDA":39.9,)"
                       R"("QTD":%1,"ID_USUARIO":7})")
            .arg(qtd);
    QCOMPARE(receivedRequests(*server_),
             (QStringList{lookupRequest("0000000000456", "loja 12"), check}));
    QVERIFY(window_->scanBuffer().empty());
    QVERIFY(window_->tmr3->isActive());
    QCOMPARE(folder_->loggedMessages(), QStringList{});
  }

  // A failed check record changes nothing on the screen and logs nothing of its own.
  void failedCheckRecordIsNotRetried() {
    server_->setHandler([](const RecordedRequest& request) {
      if (request.target == "//app/salvarProdutoCheck") {
        return ScriptedReply{500, "text/plain", "down", {}, false, false};
      }
      return successReply(R"([{"id":1041,"nome":"Queijo","preco_venda":39.9}])");
    });
    startKiosk({});
    typeKeys(window_.get(), "2045600012508");
    QCOMPARE(lines(), (QStringList{"Cód: 000456", "Queijo", "Peso: 0,313"}));
    QCOMPARE(receivedRequests(*server_).size(), 2);
    QVERIFY(window_->tmr3->isActive());
    QCOMPARE(folder_->loggedMessages(), QStringList{});
  }

  // The server's empty array, however it writes it, reaches the kiosk as [].
  void emptyArrayIsNotFound_data() {
    QTest::addColumn<QString>("data");
    QTest::newRow("[]") << "[]";
    QTest::newRow("blank between the brackets") << "[ \r\n ]";
  }

  void emptyArrayIsNotFound() {
    QFETCH(QString, data);
    server_->setReply(successReply(data.toStdString()));
    startKiosk({});
    showEarlierResult();
    typeKeys(window_.get(), "7891234567895");
    QCOMPARE(lines(), (QStringList{"antes 1", kNotFound, "antes 3"}));
    QVERIFY(window_->tmr3->isActive());
    QVERIFY(window_->scanBuffer().empty());
    QCOMPARE(folder_->loggedMessages(), QStringList{});
  }

  // Errors inside the lookup: one log line, lines written before the error keep their
  // new text, tmr3 is not started and the buffer is emptied.
  void lookupError_data() {
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("linesAfter");
    QTest::addColumn<QString>("logged");
    const QStringList untouched{"antes 1", "antes 2", "antes 3"};
    QTest::newRow("data is an object")
        << "P"
        << R"({"nome":"x"})" << untouched
        << kLookupError + R"(<TJsonArray>"" parse error: {"nome":"x"})";
    QTest::newRow("data is a text holding an empty array")
        << "P"
        << R"("[ ]")" << untouched << kLookupError + R"(<TJsonArray>"" parse error: "[ ]")";
    QTest::newRow("item 0 is no object")
        << "P"
        << "[5]" << untouched
        << kLookupError + R"(<TJsonValue>"" value type error: jvInteger to jvObject)";
    QTest::newRow("name is an object")
        << "P"
        << R"([{"nome":{"a":1},"preco_venda":1}])"
        << QStringList{"Cód: 7891234567895", "antes 2", "antes 3"}
        << kLookupError + R"(<TJsonValue>"nome" value type error: jvObject to jvString)";
    QTest::newRow("price is an array")
        << "P"
        << R"([{"nome":"Arroz","preco_venda":[1]}])"
        << QStringList{"Cód: 7891234567895", "Arroz", "antes 3"}
        << kLookupError + R"(<TJsonValue>"preco_venda" value type error: jvArray to jvNumber)";
    QTest::newRow("T reads the price before anything is shown")
        << "T"
        << R"([{"nome":"Arroz","preco_venda":"abc"}])" << untouched
        << kLookupError + "'abc' is not a valid floating point value";
  }

  void lookupError() {
    QFETCH(QString, tipo);
    QFETCH(QString, data);
    QFETCH(QStringList, linesAfter);
    QFETCH(QString, logged);
    server_->setReply(successReply(data.toStdString()));
    KioskIni ini;
    ini.tipo = tipo.toStdString();
    startKiosk(ini);
    showEarlierResult();
    typeKeys(window_.get(), "7891234567895");
    QCOMPARE(lines(), linesAfter);
    QCOMPARE(folder_->loggedMessages(), QStringList{logged});
    QVERIFY(!window_->tmr3->isActive());
    QVERIFY(window_->scanBuffer().empty());
    QCOMPARE(receivedRequests(*server_).size(), 1);
  }

  // With T a zero unit price fails for ordinary barcodes too, though no weight shows.
  void zeroPriceWithTFailsTheLookup() {
    server_->setReply(successReply(R"([{"id":3,"nome":"Brinde","preco_venda":0}])"));
    startKiosk({});
    showEarlierResult();
    typeKeys(window_.get(), "7891234567895");
    QCOMPARE(lines(), (QStringList{"antes 1", "antes 2", "antes 3"}));
    QCOMPARE(folder_->loggedMessages(),
             QStringList{kLookupError + "Divisão por zero ao calcular o peso (preço unitário 0)"});
    QVERIFY(!window_->tmr3->isActive());
    QVERIFY(window_->scanBuffer().empty());
  }

  // No answer the kiosk can use: nothing shown, nothing logged by the lookup, and the
  // next scan is collected from an empty buffer.
  void unusableAnswer_data() {
    QTest::addColumn<bool>("serverDown");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::newRow("server down") << true << 0 << "";
    QTest::newRow("status 500") << false << 500 << R"({"success":true,"data":[]})";
    QTest::newRow("success false") << false << 200 << R"({"success":false,"message":"sem acesso"})";
    QTest::newRow("data null") << false << 200 << R"({"success":true,"data":null})";
  }

  void unusableAnswer() {
    QFETCH(bool, serverDown);
    QFETCH(int, status);
    QFETCH(QString, body);
    KioskIni ini;
    if (serverDown) {
      ini.porta = closedPort();
      QVERIFY(ini.porta > 0);
    } else {
      server_->setReply(
          ScriptedReply{status, "application/json", body.toStdString(), {}, false, false});
      ini.porta = server_->port();
    }
    startKiosk(ini, false);
    typeKeys(window_.get(), "7891234567895");
    QCOMPARE(lines(), (QStringList{"", "", ""}));
    QVERIFY(!folder_->hasLogFolder());
    QVERIFY(window_->tmr3->isActive());
    QVERIFY(window_->scanBuffer().empty());
    typeKeys(window_.get(), "12");
    QCOMPARE(QString::fromStdU16String(window_->scanBuffer()), QStringLiteral("12"));
  }

  // The log cannot be written: its error shows in a message box, and the scan does not
  // stay in the buffer to become the front of the next code.
  void logThatCannotBeWritten_data() {
    QTest::addColumn<ScriptedReply>("reply");
    QTest::newRow("error in the lookup") << successReply(R"({"nome":"x"})");
    QTest::newRow("error in the request")
        << ScriptedReply{200, "application/json", "not json", {}, false, false};
  }

  void logThatCannotBeWritten() {
    QFETCH(ScriptedReply, reply);
    server_->setReply(reply);
    folder_->blockLogFolder();
    const QString expected = logErrorText();
    QVERIFY(!expected.isEmpty());
    startKiosk({});
    ModalAnswer answer([](QWidget* dialog) {
      QVERIFY(qobject_cast<QMessageBox*>(dialog) != nullptr);
      static_cast<QMessageBox*>(dialog)->accept();
    });
    typeKeys(window_.get(), "7891234567895");
    QVERIFY(answer.answered());
    QCOMPARE(answer.dialogText().section(u'\n', 0, 0), expected);
    QVERIFY(window_->scanBuffer().empty());
    QVERIFY(!window_->tmr3->isActive());
    typeKeys(window_.get(), "7");
    QCOMPARE(QString::fromStdU16String(window_->scanBuffer()), QStringLiteral("7"));
    QCOMPARE(receivedRequests(*server_).size(), 1);
  }

  // Names come from the server; markup in them is shown as typed.
  void namesShowAsPlainText_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("image tag") << "<img src=x>";
    QTest::newRow("bold tag") << "<b>x</b>";
    QTest::newRow("ampersand") << "Arroz & Feijão";
  }

  void namesShowAsPlainText() {
    QFETCH(QString, name);
    server_->setReply(successReply(
        QStringLiteral(R"([{"id":1,"nome":"%1","preco_venda":2}])").arg(name).toStdString()));
    startKiosk({});
    typeKeys(window_.get(), "7891234567895");
    QCOMPARE(window_->lblProduto2->text(), name);
    for (QLabel* label : window_->findChildren<QLabel*>()) {
      QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    // Rendered as rich text the label would be as narrow as the bare "x".
    QVERIFY(window_->lblProduto2->sizeHint().width() >=
            window_->lblProduto2->fontMetrics().horizontalAdvance(name));
  }

  // Digits typed while a lookup waits for the server are handled after it, in order.
  // Replies as careless or hostile servers send them, through the window's real event
  // path: what the lines show, how many log lines they cost, and that the next scan
  // is shown as usual.
  void hostileReply_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("linesAfter");
    QTest::addColumn<int>("logged");
    const auto ok = [](const QByteArray& body) {
      return QByteArray::fromStdString(httpReply(200, "application/json", body.toStdString()));
    };
    const QStringList before{"antes 1", "antes 2", "antes 3"};
    QTest::newRow("Windows-1252 name")
        << ok("{\"success\":true,\"data\":[{\"nome\":\"P\xE3o\",\"preco_venda\":2.5}]}")
        << QStringList{"Cód: 7891234567895", QString::fromUtf16(u"P\uFFFDo"), "Preço Venda: 2,50"}
        << 0;
    QTest::newRow("byte-order mark")
        << ok("\xEF\xBB\xBF{\"success\":true,\"data\":[{\"nome\":\"Com BOM\",\"preco_venda\":1}]}")
        << QStringList{"Cód: 7891234567895", "Com BOM", "Preço Venda: 1,00"} << 0;
    QTest::newRow("repeated member name")
        << ok(R"({"success":true,"data":[{"nome":"A","preco_venda":1,"nome":"B"}]})")
        << QStringList{"Cód: 7891234567895", "B", "Preço Venda: 1,00"} << 0;
    QTest::newRow("5,000-character name")
        << ok(R"({"success":true,"data":[{"nome":")" + QByteArray(5000, 'N') +
              R"(","preco_venda":1}]})")
        << QStringList{"Cód: 7891234567895", QString(5000, 'N'), "Preço Venda: 1,00"} << 0;
    QTest::newRow("top-level array") << ok(R"([{"nome":"X"}])") << before << 1;
    QTest::newRow("Content-Length past the body")
        << QByteArray(
               "HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n{\"success\":true,\"data\":[1]}")
        << before << 0;
    QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH_9.2\r\n") << before << 0;
  }

  void hostileReply() {
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, linesAfter);
    QFETCH(int, logged);
    std::atomic<int> connections{0};
    RawServer raw([&](RawConnection& connection) {
      connection.readRequest();
      connection.send(
          connections++ == 0
              ? reply.toStdString()
              : httpReply(200, "application/json",
                          R"({"success":true,"data":[{"nome":"Normal","preco_venda":3}]})"));
    });
    KioskIni ini;
    ini.porta = raw.port();
    startKiosk(ini, false);
    showEarlierResult();
    typeKeys(window_.get(), "7891234567895\r");
    QCOMPARE(lines(), linesAfter);
    QCOMPARE(folder_->loggedMessages().size(), logged);
    typeKeys(window_.get(), "7891234567895\r");
    QCOMPARE(lines(), (QStringList{"Cód: 7891234567895", "Normal", "Preço Venda: 3,00"}));
    QVERIFY(window_->scanBuffer().empty());
  }

  void scanTypedDuringALookupFollowsIt() {
    std::atomic<TfrmVarnok*> target{nullptr};
    server_->setHandler([&target](const RecordedRequest& request) {
      if (request.body.find("7891234567895") != std::string::npos) {
        // Typed while the kiosk waits for this answer.
        for (QChar digit : QStringLiteral("12345670\r")) {
          const int key = digit == u'\r' ? Qt::Key_Return : Qt::Key_0 + digit.digitValue();
          QCoreApplication::postEvent(
              target.load(), new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(digit)));
        }
        return successReply(R"([{"id":1,"nome":"Primeiro","preco_venda":1}])");
      }
      return successReply(R"([{"id":2,"nome":"Segundo","preco_venda":2}])");
    });
    startKiosk({});
    target = window_.get();
    typeKeys(window_.get(), "7891234567895");
    QCOMPARE(window_->lblProduto2->text(), QStringLiteral("Primeiro"));
    QTRY_COMPARE(receivedRequests(*server_).size(), 2);
    QCOMPARE(receivedRequests(*server_),
             (QStringList{lookupRequest("7891234567895"), lookupRequest("0000012345670")}));
    QCOMPARE(window_->lblProduto2->text(), QStringLiteral("Segundo"));
    QVERIFY(window_->scanBuffer().empty());
  }

  // A second lookup while tmr3 runs does not restart its count.
  void secondLookupKeepsTheClearingCount() {
    server_->setReply(successReply(R"([{"id":1,"nome":"Arroz","preco_venda":1}])"));
    startKiosk({});
    typeKeys(window_.get(), "7891234567895");
    QVERIFY(window_->tmr3->isActive());
    // Well beyond the slack of a coarse timer, so that a restarted count shows.
    QTest::qWait(1000);
    const int remainingBefore = window_->tmr3->remainingTime();
    typeKeys(window_.get(), "7891234567895");
    QVERIFY(window_->tmr3->isActive());
    QVERIFY2(window_->tmr3->remainingTime() <= remainingBefore,
             qPrintable(QStringLiteral("%1 ms left, %2 before the second lookup")
                            .arg(window_->tmr3->remainingTime())
                            .arg(remainingBefore)));
  }

  // The whole road against the demo store server and its sample catalogue.
  void demoStoreServer() {
    StoreServerProcess store;
    KioskIni ini;
    ini.porta = store.port();
    startKiosk(ini, false);
    typeKeys(window_.get(), "7891234567895\r");
    QCOMPARE(lines(), (QStringList{"Cód: 7891234567895", "Arroz 5kg", "Preço Venda: 21,90"}));
    typeKeys(window_.get(), "2045600012508\r");
    QCOMPARE(lines(), (QStringList{"Cód: 000456", "Queijo Mussarela kg", "Peso: 0,313"}));
    typeKeys(window_.get(), "7890000000001\r");
    QCOMPARE(lines(), (QStringList{"Cód: 000456", kNotFound, "Peso: 0,313"}));
    const std::vector<StoredCheck> checks = store.storedChecks();
    QCOMPARE(checks.size(), std::size_t{1});
    QCOMPARE(checks[0].codigo, std::string("0000000000456"));
    QCOMPARE(checks[0].codigoBalanca, std::string("2045600012508"));
    QCOMPARE(checks[0].idProduto, std::int64_t{1041});
    QCOMPARE(checks[0].precoVenda, 39.9);
    QCOMPARE(checks[0].qtd, 0.313);
    QCOMPARE(checks[0].idUsuario, std::int64_t{1});
    QCOMPARE(folder_->loggedMessages(), QStringList{});
  }

 private:
  void startKiosk(KioskIni ini, bool atScriptedServer = true) {
    if (atScriptedServer) {
      ini.porta = server_->port();
    }
    folder_->writeSettings(ini);
    window_ = std::make_unique<TfrmVarnok>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void showEarlierResult() {
    window_->lblProduto1->setText(QStringLiteral("antes 1"));
    window_->lblProduto2->setText(QStringLiteral("antes 2"));
    window_->lblProduto3->setText(QStringLiteral("antes 3"));
  }

  QStringList lines() const {
    return {window_->lblProduto1->text(), window_->lblProduto2->text(),
            window_->lblProduto3->text()};
  }

  // What LogError raises in this folder.
  static QString logErrorText() {
    try {
      varnok::LogError(u"probe");
    } catch (const varnok::InputOutputError& error) {
      return QString::fromUtf8(error.what());
    }
    return {};
  }

  std::unique_ptr<KioskFolder> folder_;
  std::unique_ptr<ScriptedServer> server_;
  std::unique_ptr<TfrmVarnok> window_;
};

QTEST_MAIN(LookupTest)
#include "lookup_test.moc"
