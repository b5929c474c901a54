#include "varnok/UfrmMessageBox.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "varnok/codepage.h"
#include "varnok/confirmation.h"
#include "varnok/look.h"

namespace varnok {

TfrmMessageBox* frmMessageBox = nullptr;

namespace {

constexpr int kDesignWidth = 540;
constexpr int kDesignHeight = 208;
// Up to this many displayed lines the message fits the design height.
constexpr int kLinesAtDesignHeight = 7;
constexpr int kTimerIntervalMs = 1000;

const QColor kMaroon(128, 0, 0);
// Windows' standard colours for the gradient ends of an active and an inactive title
// bar; the panels keep them on every desktop.
const QColor kGradientActiveCaption(185, 209, 234);
const QColor kGradientInactiveCaption(215, 228, 242);

void setBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// A circle with a 2-pixel black outline and a white fill, as large as the widget.
class CircleShape : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    constexpr qreal kOutline = 2;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, kOutline));
    painter.setBrush(Qt::white);
    // The pen is centred on the path: inset by half its width to keep it inside.
    const qreal diameter = std::min(width(), height()) - kOutline;
    painter.drawEllipse(
        QRectF((width() - diameter) / 2, (height() - diameter) / 2, diameter, diameter));
  }
};

void showConfirmationDialog(std::u16string_view message) {
  // Created without an owner; destroyed on every way out, after frmMessageBox is
  // emptied.
  const auto dialog = std::make_unique<TfrmMessageBox>();
  frmMessageBox = dialog.get();
  struct ForgetDialog {
    ~ForgetDialog() { frmMessageBox = nullptr; }
  } forget;
  dialog->MessageText = message;
  dialog->exec();
}

}  // namespace

TfrmMessageBox::TfrmMessageBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      pnl1(new QWidget(this)),
      pnl3(new QWidget(pnl1)),
      memoMsg(new QPlainTextEdit(pnl3)),
      pnl2(new QWidget(pnl1)),
      btnSim(new QPushButton(QStringLiteral("Sim"), pnl2)),
      btnNao(new QPushButton(QStringLiteral("Não"), pnl2)),
      tmr1(new QTimer(this)),
      shp1(new CircleShape(pnl3)),
      lbl1(new QLabel(QStringLiteral("?"), pnl3)) {
  setWindowTitle(QStringLiteral("frmMessageBox"));
  setFont(tahomaFont(11, false));

  setBackground(pnl1, kNavy);
  setBackground(pnl3, kGradientActiveCaption);
  setBackground(pnl2, kGradientInactiveCaption);

  // Drawn over the circle: created after it, so it lies on top.
  lbl1->setFont(pixelFont({QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")}, 56, false));
  QPalette labelPalette = lbl1->palette();
  labelPalette.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
  lbl1->setPalette(labelPalette);

  memoMsg->setReadOnly(true);
  memoMsg->setFrameShape(QFrame::NoFrame);
  memoMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Like the Windows edit box: break at blanks, and inside a word too long for a line.
  memoMsg->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  memoMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoMsg->setFont(tahomaFont(13, true));
  QPalette memoPalette = memoMsg->palette();
  memoPalette.setColor(QPalette::Base, kGradientActiveCaption);
  memoPalette.setColor(QPalette::Text, kMaroon);
  memoMsg->setPalette(memoPalette);
  memoMsg->viewport()->installEventFilter(this);

  // The toolkit's own look for the buttons, not the desktop theme's. The style is a
  // child created after pnl1, so it outlives the buttons when the dialog is destroyed.
  QStyle* buttonStyle = QStyleFactory::create(QStringLiteral("Fusion"));
  if (buttonStyle != nullptr) buttonStyle->setParent(this);
  for (QPushButton* button : {btnSim, btnNao}) {
    button->setFont(tahomaFont(16, true));
    if (buttonStyle != nullptr) button->setStyle(buttonStyle);
  }
  connect(btnSim, &QPushButton::clicked, this, &TfrmMessageBox::btnSimClick);
  connect(btnNao, &QPushButton::clicked, this, &TfrmMessageBox::btnNaoClick);

  setTabOrder(memoMsg, btnSim);
  setTabOrder(btnSim, btnNao);

  resize(kDesignWidth, kDesignHeight);
  layoutComponents();

  tmr1->setInterval(kTimerIntervalMs);
  connect(tmr1, &QTimer::timeout, this, &TfrmMessageBox::tmr1Timer);
  tmr1->start();
}

TfrmMessageBox::~TfrmMessageBox() = default;

// The components keep the anchors of the design: pnl3 and memoMsg stretch with the
// dialog's height (left, top, bottom), pnl2 and its buttons move with its bottom edge;
// the circle and the question mark stay where they are.
void TfrmMessageBox::layoutComponents() {
  const int grow = height() - kDesignHeight;
  pnl1->setGeometry(0, 0, width(), height());
  pnl3->setGeometry(6, 7, 528, 138 + grow);
  shp1->setGeometry(13, 32, 64, 64);
  lbl1->setGeometry(30, 32, 31, 65);
  memoMsg->setGeometry(96, 9, 412, 116 + grow);
  pnl2->setGeometry(6, 144 + grow, 528, 58);
  btnSim->setGeometry(308, 13, 97, 33);
  btnNao->setGeometry(411, 13, 97, 33);
}

void TfrmMessageBox::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layoutComponents();
}

void TfrmMessageBox::showEvent(QShowEvent* event) {
  // A spontaneous show is the window system restoring the window, not a new showing.
  if (!event->spontaneous()) FormShow();
  QDialog::showEvent(event);
}

void TfrmMessageBox::FormShow() {
  // The box holds the message as one line, followed by CR LF.
  memoMsg->clear();
  const std::u16string boxText = MessageText + u"\r\n";
  memoMsg->setPlainText(toQString(rebuildMessageText(boxText)));

  const int lines = displayedLineCount();
  if (lines > kLinesAtDesignHeight) resize(width(), dialogHeightForLines(lines));
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }
  raise();
  activateWindow();
  btnSim->setFocus();
}

int TfrmMessageBox::displayedLineCount() const {
  QTextDocument* document = memoMsg->document();
  QAbstractTextDocumentLayout* layout = document->documentLayout();
  int lines = 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    // The empty line after the final line break only holds the caret.
    if (!block.next().isValid() && block.text().isEmpty()) break;
    // Lays the block out at the box's width if that has not happened yet.
    layout->blockBoundingRect(block);
    lines += block.layout()->lineCount();
  }
  return lines;
}

void TfrmMessageBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    // Neither button is a cancel button: Esc does nothing.
    case Qt::Key_Escape:
    // A focused button answers Enter itself; anywhere else Enter does nothing (QDialog
    // would press a default button).
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

bool TfrmMessageBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == memoMsg->viewport() && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    memoMsgClick();
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmMessageBox::btnSimClick() {
  ConfirmationResult = kAnswerYes;
  close();
}

void TfrmMessageBox::btnNaoClick() {
  ConfirmationResult = kAnswerNo;
  close();
}

void TfrmMessageBox::memoMsgClick() {
  btnSim->setFocus();
}

// Keeps the dialog in front of the full-screen main window while it is open.
void TfrmMessageBox::tmr1Timer() {
  raise();
  activateWindow();
  QCoreApplication::processEvents();
}

std::u16string rebuildMessageText(std::u16string_view boxText) {
  std::u16string rebuilt;
  rebuilt.reserve(boxText.size() * 2);
  for (const char16_t c : boxText) {
    rebuilt.push_back(c);
    if (c == u'\r') rebuilt += u"\n\r";
  }
  // The text passes through the 8-bit code page, as the log's text does.
  return fromWindows1252(toWindows1252(rebuilt));
}

int dialogHeightForLines(int lines) noexcept {
  if (lines <= kLinesAtDesignHeight) return kDesignHeight;
  // round(lines * 16.4) + 95 in integers; lines * 16.4 never ends in exactly .5.
  return (lines * 164 + 5) / 10 + 95;
}

void installConfirmationDialog() {
  setConfirmationDialogRunner(&showConfirmationDialog);
}

}  // namespace varnok
