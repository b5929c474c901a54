// The kiosk window's look and its three timers: label proportions, the clock and the
// clearing of a result.
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QTest>
#include <QTimer>
#include <memory>

#include "UfrmPrincipal.h"
#include "kiosk_fixture.h"
#include "varnok/platform.h"
#include "varnok/regional.h"

Q_DECLARE_METATYPE(varnok::LocalDateTime)

using varnok::TfrmVarnok;
using namespace varnok::test;

namespace {

constexpr int kBannerHeight = 97;
const QColor kNavy(0, 0, 128);

void checkLabelLook(const QLabel* label, int pixelSize, bool bold, const QColor& textColour) {
  QCOMPARE(label->font().pixelSize(), pixelSize);
  QCOMPARE(label->font().bold(), bold);
  QCOMPARE(label->font().families(), (QStringList{"Tahoma", "DejaVu Sans"}));
  // The family really drawn: Tahoma where installed, its stand-in otherwise.
  const QString drawn = QFontInfo(label->font()).family();
  QVERIFY2(drawn == "Tahoma" || drawn == "DejaVu Sans", qPrintable(drawn));
  QCOMPARE(label->palette().color(QPalette::WindowText), textColour);
  QCOMPARE(label->alignment(), Qt::AlignCenter);
  QCOMPARE(label->textFormat(), Qt::PlainText);
}

// Whether the widget, as drawn, holds a pixel of exactly that colour.
bool drawsColour(QWidget* widget, const QColor& colour) {
  const QImage image = widget->grab().toImage();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y).rgb() == colour.rgb()) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

class TimersTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    folder_ = std::make_unique<KioskFolder>();
    varnok::setRegionalSettings({u',', u'/', u':'});
  }

  void cleanup() {
    window_.reset();
    folder_.reset();
    varnok::setClock({});
  }

  void freshWindow() {
    window_ = std::make_unique<TfrmVarnok>();
    QCOMPARE(window_->windowTitle(), QStringLiteral("Varnok"));
    QVERIFY(window_->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(window_->windowOpacity(), 1.0);
    QCOMPARE(window_->pnl1->text(), QStringLiteral("Passe o Produto"));
    QCOMPARE(window_->pnl1->height(), kBannerHeight);
    QCOMPARE(window_->pnl1->palette().color(QPalette::Window), kNavy);
    checkLabelLook(window_->pnl1, 64, true, Qt::white);
    checkLabelLook(window_->lblData, 40, false, kNavy);
    checkLabelLook(window_->lblProduto1, 75, false, kNavy);
    checkLabelLook(window_->lblProduto2, 75, false, kNavy);
    checkLabelLook(window_->lblProduto3, 85, false, kNavy);
    // Nothing shows before the first clock tick and the first lookup.
    for (const QLabel* label :
         {window_->lblData, window_->lblProduto1, window_->lblProduto2, window_->lblProduto3}) {
      QVERIFY(label->text().isEmpty());
    }
    QVERIFY(!window_->tmr1->isActive());
    QVERIFY(window_->tmr2->isActive());
    QVERIFY(!window_->tmr3->isActive());
    QCOMPARE(window_->tmr1->interval(), 500);
    QCOMPARE(window_->tmr2->interval(), 500);
    QCOMPARE(window_->tmr3->interval(), 5000);
    // Settings are read once, at creation: defaults without a file.
    const varnok::KioskSettings& settings = window_->kioskSettings();
    QCOMPARE(settings.Host, std::u16string(u"localhost"));
    QCOMPARE(settings.Porta, 9000);
    QCOMPARE(settings.Tipo, std::u16string(u"T"));
  }

  // The colours as drawn, not only as set: navy banner with white caption, navy lines
  // on the button face.
  void drawnColours() {
    window_ = std::make_unique<TfrmVarnok>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    const QImage banner = window_->pnl1->grab().toImage();
    QCOMPARE(banner.pixelColor(2, 2).rgb(), kNavy.rgb());
    QVERIFY(drawsColour(window_->pnl1, Qt::white));
    for (QLabel* label :
         {window_->lblData, window_->lblProduto1, window_->lblProduto2, window_->lblProduto3}) {
      label->setText(QStringLiteral("IH"));
      QCOMPARE(label->grab().toImage().pixelColor(2, 2).rgb(), buttonFace.rgb());
      QVERIFY2(drawsColour(label, kNavy), qPrintable(label->objectName()));
      QVERIFY2(!drawsColour(label, Qt::black), qPrintable(label->objectName()));
    }
  }

  void settingsAreReadOnceAtCreation() {
    KioskIni ini;
    ini.host = "10.1.2.3";
    ini.porta = 9123;
    ini.banco = "loja";
    ini.tipo = "P";
    ini.tamanho = 6;
    ini.usuario = 42;
    folder_->writeSettings(ini);
    window_ = std::make_unique<TfrmVarnok>();
    folder_->writeSettings(KioskIni{});
    const varnok::KioskSettings& settings = window_->kioskSettings();
    QCOMPARE(settings.Host, std::u16string(u"10.1.2.3"));
    QCOMPARE(settings.Porta, 9123);
    QCOMPARE(settings.Banco, std::u16string(u"loja"));
    QCOMPARE(settings.Tipo, std::u16string(u"P"));
    QCOMPARE(settings.Tamanho, 6);
    QCOMPARE(settings.Usuario, 42);
  }

  void proportions_data() {
    QTest::addColumn<int>("panelHeight");
    QTest::addColumn<int>("dateHeight");
    QTest::addColumn<int>("lineHeight");
    QTest::newRow("524 pixels") << 524 << 52 << 157;
    QTest::newRow("983 pixels") << 983 << 98 << 294;
    QTest::newRow("600 pixels") << 600 << 60 << 180;
  }

  // tmr1 sets the heights from the panel's real height; the lines stay stacked and the
  // pixels lost by truncation stay empty at the bottom.
  void proportions() {
    QFETCH(int, panelHeight);
    QFETCH(int, dateHeight);
    QFETCH(int, lineHeight);
    window_ = std::make_unique<TfrmVarnok>();
    window_->resize(914, kBannerHeight + panelHeight);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(window_->pnl2->height(), panelHeight);
    window_->tmr1->start();
    window_->tmr1Timer();
    QVERIFY(!window_->tmr1->isActive());
    window_->pnl2->layout()->activate();
    const int width = window_->pnl2->width();
    QCOMPARE(window_->lblData->geometry(), QRect(0, 0, width, dateHeight));
    QCOMPARE(window_->lblProduto1->geometry(), QRect(0, dateHeight, width, lineHeight));
    QCOMPARE(window_->lblProduto2->geometry(),
             QRect(0, dateHeight + lineHeight, width, lineHeight));
    QCOMPARE(window_->lblProduto3->geometry(),
             QRect(0, dateHeight + 2 * lineHeight, width, lineHeight));
    QCOMPARE(panelHeight - (window_->lblProduto3->geometry().bottom() + 1),
             panelHeight - dateHeight - 3 * lineHeight);
  }

  // Every activation starts tmr1; it sets the heights and stops on its first tick.
  void activationStartsTmr1() {
    window_ = std::make_unique<TfrmVarnok>();
    window_->resize(914, kBannerHeight + 524);
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTRY_COMPARE(window_->lblProduto1->height(), 157);
    QVERIFY(!window_->tmr1->isActive());

    window_->resize(914, kBannerHeight + 983);
    QTRY_COMPARE(window_->pnl2->height(), 983);
    QEvent activation(QEvent::WindowActivate);
    QApplication::sendEvent(window_.get(), &activation);
    QVERIFY(window_->tmr1->isActive());
    QTRY_COMPARE(window_->lblProduto1->height(), 294);
    QCOMPARE(window_->lblData->height(), 98);
    QVERIFY(!window_->tmr1->isActive());
  }

  // An activation while tmr1 runs does not restart its count.
  void activationKeepsARunningCount() {
    window_ = std::make_unique<TfrmVarnok>();
    window_->tmr1->start();
    QTest::qWait(100);
    const int remainingBefore = window_->tmr1->remainingTime();
    window_->FormActivate();
    QVERIFY(window_->tmr1->isActive());
    QVERIFY(window_->tmr1->remainingTime() <= remainingBefore);
  }

  void clock_data() {
    QTest::addColumn<varnok::LocalDateTime>("now");
    QTest::addColumn<char16_t>("dateSeparator");
    QTest::addColumn<char16_t>("timeSeparator");
    QTest::addColumn<QString>("shown");
    QTest::newRow("slash and colon")
        << varnok::LocalDateTime{2024, 3, 5, 14, 7, 9} << u'/' << u':' << "05/03/2024 14:07:09";
    QTest::newRow("dots") << varnok::LocalDateTime{2024, 3, 5, 14, 7, 9} << u'.' << u'.'
                          << "05.03.2024 14.07.09";
    QTest::newRow("midnight, hyphen")
        << varnok::LocalDateTime{2025, 12, 31, 0, 0, 0} << u'-' << u':' << "31-12-2025 00:00:00";
    QTest::newRow("last second of the day")
        << varnok::LocalDateTime{2026, 1, 9, 23, 59, 59} << u'/' << u':' << "09/01/2026 23:59:59";
  }

  void clock() {
    QFETCH(varnok::LocalDateTime, now);
    QFETCH(char16_t, dateSeparator);
    QFETCH(char16_t, timeSeparator);
    QFETCH(QString, shown);
    varnok::setRegionalSettings({u',', dateSeparator, timeSeparator});
    varnok::setClock([now] { return now; });
    window_ = std::make_unique<TfrmVarnok>();
    QVERIFY(window_->lblData->text().isEmpty());
    window_->tmr2Timer();
    QCOMPARE(window_->lblData->text(), shown);
    QVERIFY(window_->tmr2->isActive());
  }

  // The clock runs by itself from creation.
  void clockTicks() {
    varnok::setClock([] { return varnok::LocalDateTime{2024, 3, 5, 14, 7, 9}; });
    window_ = std::make_unique<TfrmVarnok>();
    QTRY_COMPARE(window_->lblData->text(), QStringLiteral("05/03/2024 14:07:09"));
  }

  void clearing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("a product") << "Arroz 5kg" << true;
    QTest::newRow("not found") << "PRODUTO NÃO LOCALIZADO!!!" << true;
    QTest::newRow("empty name") << "" << false;
    QTest::newRow("blank name") << " \t\r\n " << false;
    QTest::newRow("name of one letter") << " a " << true;
  }

  void clearing() {
    QFETCH(QString, name);
    QFETCH(bool, cleared);
    window_ = std::make_unique<TfrmVarnok>();
    window_->lblProduto1->setText(QStringLiteral("Cód: 7891234567895"));
    window_->lblProduto2->setText(name);
    window_->lblProduto3->setText(QStringLiteral("Preço Venda: 21,90"));
    window_->tmr3->start();
    window_->tmr3Timer();
    QVERIFY(!window_->tmr3->isActive());
    const QStringList lines{window_->lblProduto1->text(), window_->lblProduto2->text(),
                            window_->lblProduto3->text()};
    if (cleared) {
      QCOMPARE(lines, (QStringList{"", "", ""}));
    } else {
      QCOMPARE(lines, (QStringList{"Cód: 7891234567895", name, "Preço Venda: 21,90"}));
    }
  }

 private:
  std::unique_ptr<KioskFolder> folder_;
  std::unique_ptr<TfrmVarnok> window_;
};

QTEST_MAIN(TimersTest)
#include "timers_test.moc"
