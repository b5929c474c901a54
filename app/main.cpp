// The kiosk program: one full-screen window that shows what the store server knows
// about each scanned product.
#include <QApplication>
#include <QScreen>

#include "UfrmPrincipal.h"
#include "varnok/UfrmMessageBox.h"
#include "varnok/platform.h"
#include "varnok/regional.h"

int main(int argc, char* argv[]) {
  varnok::returnLargeBlocksToSystem();
  QApplication application(argc, argv);
  // The screen and the log use the separators of the locale the kiosk starts with.
  varnok::setRegionalSettings(varnok::readSystemRegionalSettings());
  varnok::installConfirmationDialog();

  varnok::TfrmVarnok window;
  varnok::frmVarnok = &window;
  // The screen's geometry first: without a window manager nothing else would size a
  // full-screen window.
  window.setGeometry(window.screen()->geometry());
  window.showFullScreen();
  const int result = QApplication::exec();
  varnok::frmVarnok = nullptr;
  return result;
}
