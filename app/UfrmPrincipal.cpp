#include "UfrmPrincipal.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>

#include "varnok/barcode.h"
#include "varnok/confirmation.h"
#include "varnok/json.h"
#include "varnok/log.h"
#include "varnok/look.h"
#include "varnok/platform.h"
#include "varnok/regional.h"
#include "varnok/request.h"
#include "varnok/text.h"
#include "varnok/utf.h"

namespace varnok {

TfrmVarnok* frmVarnok = nullptr;

namespace {

constexpr int kScanLength = 13;
constexpr char16_t kEnter = 13;
constexpr char16_t kEscape = 27;

// Every label shows its text as typed: product names come from the server and must
// never be read as rich text. Labels are centred both ways, navy unless told otherwise.
QLabel* makeLabel(QWidget* parent, int pixelSize, bool bold, int designHeight) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignCenter);
  label->setFont(tahomaFont(pixelSize, bold));
  label->setFrameShape(QFrame::NoFrame);
  // A long text is clipped instead of widening the window.
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  label->setFixedHeight(designHeight);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, kNavy);
  label->setPalette(palette);
  return label;
}

std::u16string decimalText(long long value) {
  const std::string ascii = std::to_string(value);
  return std::u16string(ascii.begin(), ascii.end());
}

std::u16string twoDigits(int value) {
  return ZeroPad(decimalText(value), 2);
}

// The message of an error as the log and the message box show it.
std::u16string messageOf(const std::exception& error) {
  if (const auto* jsonError = dynamic_cast<const json::JsonError*>(&error)) {
    return jsonError->message();
  }
  return json::FromUtf8(error.what());
}

}  // namespace

TfrmVarnok::TfrmVarnok(QWidget* parent) : QWidget(parent) {
  buildComponents();
  FormCreate();
}

TfrmVarnok::~TfrmVarnok() = default;

void TfrmVarnok::buildComponents() {
  setObjectName(QStringLiteral("frmVarnok"));
  setWindowTitle(QStringLiteral("Varnok"));
  setWindowFlag(Qt::FramelessWindowHint);
  setWindowOpacity(1.0);
  // The background is the system's button face. It goes into the Window role, which
  // the children inherit, rather than into the background role: a child inherits that
  // role too and would then draw its text in the button-text colour.
  QPalette windowPalette = palette();
  windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
  setPalette(windowPalette);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  resize(914, 621);

  buildPanels();
  // Key preview: the window handles a key before any of its children sees it.
  for (QWidget* child : findChildren<QWidget*>()) {
    child->setFocusPolicy(Qt::NoFocus);
    child->installEventFilter(this);
  }
  buildTimers();
}

void TfrmVarnok::buildPanels() {
  pnl1 = makeLabel(this, 64, true, 97);
  pnl1->setObjectName(QStringLiteral("pnl1"));
  pnl1->setText(QStringLiteral("Passe o Produto"));
  pnl1->setAutoFillBackground(true);
  QPalette bannerPalette = pnl1->palette();
  bannerPalette.setColor(QPalette::Window, kNavy);
  bannerPalette.setColor(QPalette::WindowText, Qt::white);
  pnl1->setPalette(bannerPalette);

  pnl2 = new QFrame(this);
  pnl2->setObjectName(QStringLiteral("pnl2"));
  pnl2->setFrameShape(QFrame::NoFrame);
  lblProduto1 = makeLabel(pnl2, 75, false, 150);
  lblProduto1->setObjectName(QStringLiteral("lblProduto1"));
  lblProduto2 = makeLabel(pnl2, 75, false, 150);
  lblProduto2->setObjectName(QStringLiteral("lblProduto2"));
  lblProduto3 = makeLabel(pnl2, 85, false, 150);
  lblProduto3->setObjectName(QStringLiteral("lblProduto3"));
  lblData = makeLabel(pnl2, 40, false, 49);
  lblData->setObjectName(QStringLiteral("lblData"));

  // The four lines stay stacked from the top; pixels the heights leave over stay
  // empty at the bottom.
  auto* dataLayout = new QVBoxLayout(pnl2);
  dataLayout->setContentsMargins(0, 0, 0, 0);
  dataLayout->setSpacing(0);
  dataLayout->addWidget(lblData);
  dataLayout->addWidget(lblProduto1);
  dataLayout->addWidget(lblProduto2);
  dataLayout->addWidget(lblProduto3);
  dataLayout->addStretch(1);

  auto* windowLayout = new QVBoxLayout(this);
  windowLayout->setContentsMargins(0, 0, 0, 0);
  windowLayout->setSpacing(0);
  windowLayout->addWidget(pnl1);
  windowLayout->addWidget(pnl2, 1);
}

// tmr1 and tmr3 wait to be started; the clock runs from creation on.
void TfrmVarnok::buildTimers() {
  tmr1 = new QTimer(this);
  tmr1->setInterval(500);
  connect(tmr1, &QTimer::timeout, this, &TfrmVarnok::tmr1Timer);
  tmr2 = new QTimer(this);
  tmr2->setInterval(500);
  connect(tmr2, &QTimer::timeout, this, &TfrmVarnok::tmr2Timer);
  tmr3 = new QTimer(this);
  tmr3->setInterval(5000);
  connect(tmr3, &QTimer::timeout, this, &TfrmVarnok::tmr3Timer);
  tmr2->start();
}

void TfrmVarnok::FormCreate() {
  settings_ = readKioskSettings(settingsFilePath());
}

void TfrmVarnok::FormActivate() {
  // QTimer::start would restart a running count; a running timer keeps its count.
  if (!tmr1->isActive()) {
    tmr1->start();
  }
}

bool TfrmVarnok::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowActivate:
      FormActivate();
      break;
    case QEvent::KeyPress:
      // Handled before QWidget::event, so that Tab never moves the focus.
      previewKey(*static_cast<QKeyEvent*>(event));
      return true;
    default:
      break;
  }
  return QWidget::event(event);
}

bool TfrmVarnok::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched != this) {
    previewKey(*static_cast<QKeyEvent*>(event));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmVarnok::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (firstPaintReported_) {
    return;
  }
  firstPaintReported_ = true;
  // Start-up measurement from outside (scripts/measure-kiosk): the wall-clock time of
  // the first frame, printed once the frame has been handed to the window system.
  const char* report = std::getenv("VARNOK_REPORT_FIRST_PAINT");
  if (report != nullptr && std::strcmp(report, "1") == 0) {
    QTimer::singleShot(0, this, [] {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::fprintf(stderr, "varnok-first-paint %lld\n",
                   static_cast<long long>(
                       std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
      std::fflush(stderr);
    });
  }
}

// Turns one key event into the characters the handler receives: Enter as 13, Esc as
// 27, anything else as the text the key typed (none for Shift, arrows and the like).
void TfrmVarnok::previewKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      deliverKey(kEnter);
      return;
    case Qt::Key_Escape:
      deliverKey(kEscape);
      return;
    default:
      break;
  }
  for (QChar character : event.text()) {
    deliverKey(character.unicode());
  }
}

// Qt lets no exception cross its event loop: an error that leaves the handler (the
// log that cannot be written) is shown here, as the only error the customer sees.
void TfrmVarnok::deliverKey(char16_t key) {
  try {
    FormKeyPress(key);
  } catch (const std::exception& error) {
    showUnhandledError(toQString(messageOf(error)));
  }
}

void TfrmVarnok::showUnhandledError(const QString& message) {
  QMessageBox box(QMessageBox::Critical, windowTitle(), message, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void TfrmVarnok::FormKeyPress(char16_t key) {
  if (key == kEscape) {
    const std::int32_t answer = AskConfirmation(u"Deseja Fechar o Sistema?");
    // The window takes the keyboard back from the closed dialog. Without a window
    // manager nothing else would, and the scanner's digits would go nowhere.
    activateWindow();
    if (answer == kAnswerYes) {
      // Queued, so that this event is finished before the event loop stops.
      QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                Qt::QueuedConnection);
    }
  }
  if (key == kEnter && ScanBuffer.size() < kScanLength && !trimBlanks(ScanBuffer).empty()) {
    ScanBuffer = ZeroPad(ScanBuffer, kScanLength);
  }
  if (key >= u'0' && key <= u'9') {
    ScanBuffer += key;
  }
  if (ScanBuffer.size() < kScanLength) {
    return;
  }
  LookupScan();
}

std::u16string TfrmVarnok::baseUrl() const {
  return u"http://" + settings_.Host + u":" + decimalText(settings_.Porta);
}

void TfrmVarnok::LookupScan() {
  // The buffer is emptied on every way out, also when the log itself fails: a scan
  // whose error could not be logged must not become the front of the next code.
  struct EmptyOnExit {
    std::u16string& buffer;
    ~EmptyOnExit() { buffer.clear(); }
  } emptyScanBuffer{ScanBuffer};

  const std::u16string productCode = DeriveProductCode(ScanBuffer, settings_);
  // One body for both requests: refilled for the check record.
  json::TJsonObject body;
  try {
    body.Put(u"cnpj", settings_.Banco);
    body.Put(u"codigo", productCode);
    std::u16string reply;
    if (SendRequest(reply, u"/app/buscaProduto", baseUrl(), settings_.Banco, body.Stringify())) {
      const std::u16string_view trimmed = trimBlanks(reply);
      if (trimmed.empty() || trimmed == u"[]") {
        lblProduto2->setText(QStringLiteral("PRODUTO NÃO LOCALIZADO!!!"));
      } else {
        showProduct(reply, productCode, body);
      }
    }
    // A running count is not restarted: the earlier lookup's result clears on time.
    if (!tmr3->isActive()) {
      tmr3->start();
    }
  } catch (const std::exception& error) {
    LogError(u"Erro ao Realizar Consultar no Servidor - " + messageOf(error));
  }
}

// Shows item 0 of the reply and, for a scale label, reports the check. Every read of
// the reply happens just before its line is written, so a member that cannot be read
// leaves the lines after it as they were.
void TfrmVarnok::showProduct(std::u16string_view reply, const std::u16string& productCode,
                             json::TJsonObject& body) {
  json::TJsonArray products;
  products.Parse(reply);
  json::TJsonObject& product = products.Items(0).AsObject();
  // The weight comes first, for both families: with "T" a zero price fails the lookup
  // before anything is shown.
  const double unitPrice = settings_.Tipo == u"T" ? product[u"preco_venda"].AsNumber() : 0.0;
  // Neither "T" nor "P": the label carries no weight the kiosk can read, so it shows
  // and reports 0.
  const double weight = ComputeLabelWeight(ScanBuffer, unitPrice, settings_).value_or(0.0);
  if (!IsScaleLabel(ScanBuffer)) {
    lblProduto1->setText(toQString(u"Cód: " + productCode));
    lblProduto2->setText(toQString(product[u"nome"].AsString()));
    lblProduto3->setText(
        toQString(u"Preço Venda: " + formatFixed(product[u"preco_venda"].AsNumber(), 2)));
    return;
  }
  lblProduto1->setText(toQString(u"Cód: " + productCode.substr(productCode.size() - 6)));
  lblProduto2->setText(toQString(product[u"nome"].AsString()));
  lblProduto3->setText(toQString(u"Peso: " + formatFixed(weight, 3)));
  sendCheckRecord(body, product, productCode, weight);
}

// The check record of a scale label; its answer is not used and it is not retried.
void TfrmVarnok::sendCheckRecord(json::TJsonObject& body, json::TJsonObject& product,
                                 const std::u16string& productCode, double weight) {
  body.Clear();
  body.Put(u"CNPJ", settings_.Banco);
  body.Put(u"CODIGO", productCode);
  body.Put(u"ID_PRODUTO", product[u"id"].AsInteger());
  body.Put(u"CODIGO_BALANCA", ScanBuffer);
  body.Put(u"PRECO_VENDA", product[u"preco_venda"].AsNumber());
  body.Put(u"QTD", weight);
  body.Put(u"ID_USUARIO", static_cast<std::int64_t>(settings_.Usuario));
  std::u16string reply;
  SendRequest(reply, u"/app/salvarProdutoCheck", baseUrl(), settings_.Banco, body.Stringify());
}

void TfrmVarnok::tmr1Timer() {
  const int panelHeight = pnl2->height();
  lblData->setFixedHeight(static_cast<int>(panelHeight * 0.1));
  lblProduto1->setFixedHeight(static_cast<int>(panelHeight * 0.3));
  lblProduto2->setFixedHeight(static_cast<int>(panelHeight * 0.3));
  lblProduto3->setFixedHeight(static_cast<int>(panelHeight * 0.3));
  tmr1->stop();
}

void TfrmVarnok::tmr2Timer() {
  const LocalDateTime now = localNow();
  const RegionalSettings& regional = regionalSettings();
  const std::u16string date = twoDigits(now.day) + regional.dateSeparator + twoDigits(now.month) +
                              regional.dateSeparator + ZeroPad(decimalText(now.year), 4);
  const std::u16string time = twoDigits(now.hour) + regional.timeSeparator + twoDigits(now.minute) +
                              regional.timeSeparator + twoDigits(now.second);
  lblData->setText(toQString(date + u" " + time));
}

void TfrmVarnok::tmr3Timer() {
  tmr3->stop();
  if (trimBlanks(lblProduto2->text().toStdU16String()).empty()) {
    return;
  }
  lblProduto1->clear();
  lblProduto2->clear();
  lblProduto3->clear();
}

}  // namespace varnok
