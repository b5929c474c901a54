#include "kiosk_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "varnok/codepage.h"
#include "varnok/platform.h"

namespace varnok::test {
namespace {

// The log line: "dd/mm/yyyy hh:mm:ss" (19 characters), " - ", then the message.
constexpr std::size_t kTimeStampLength = 19;
constexpr std::string_view kStampSeparator = " - ";

// Exit codes of runInEventLoop's own event loop.
constexpr int kStillRunningCode = 2;
constexpr int kHungCode = 3;

QString fromBytes(const std::string& windows1252) {
  const std::u16string text = fromWindows1252(windows1252);
  return QString::fromStdU16String(text);
}

}  // namespace

KioskFolder::KioskFolder() : path_(dir_.path().toStdString()) {
  std::filesystem::create_directories(path_ / "ini");
  setExecutableDirOverride(path_);
}

KioskFolder::~KioskFolder() {
  setExecutableDirOverride({});
}

void KioskFolder::writeSettings(const KioskIni& ini) const {
  std::ofstream file(path_ / "ini" / "config-check.ini", std::ios::binary | std::ios::trunc);
  file << "[CODIGO]\r\nTipo=" << ini.tipo << "\r\nTamanho=" << ini.tamanho << "\r\n\r\n"
       << "[CONEXAO]\r\nHost=" << ini.host << "\r\nBanco=" << ini.banco << "\r\nPorta=" << ini.porta
       << "\r\nUsuario=" << ini.usuario << "\r\n";
}

QStringList KioskFolder::loggedMessages() const {
  QStringList messages;
  if (!hasLogFolder()) {
    return messages;
  }
  // One file per day; a test that runs across midnight reads both, in date order of
  // their names within the month, which is all a test needs.
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(path_ / "Log")) {
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    std::size_t start = 0;
    while (start < content.size()) {
      std::size_t end = content.find("\r\n", start);
      if (end == std::string::npos) {
        end = content.size();
      }
      const std::string line = content.substr(start, end - start);
      if (line.size() >= kTimeStampLength + kStampSeparator.size() &&
          line.compare(kTimeStampLength, kStampSeparator.size(), kStampSeparator) == 0) {
        messages << fromBytes(line.substr(kTimeStampLength + kStampSeparator.size()));
      } else {
        messages << QStringLiteral("(no time stamp) ") + fromBytes(line);
      }
      start = end + 2;
    }
  }
  return messages;
}

bool KioskFolder::hasLogFolder() const {
  return std::filesystem::exists(path_ / "Log");
}

void KioskFolder::blockLogFolder() const {
  std::ofstream(path_ / "Log") << "not a folder";
}

ScriptedReply successReply(const std::string& dataJson) {
  ScriptedReply reply;
  reply.body = R"({"success":true,"data":)" + dataJson + "}";
  return reply;
}

QStringList receivedRequests(const ScriptedServer& server) {
  QStringList received;
  for (const RecordedRequest& request : server.requests()) {
    received << QString::fromStdString(request.target + " " + request.body);
  }
  return received;
}

QString lookupRequest(const QString& code, const QString& store) {
  return QStringLiteral(R"(//app/buscaProduto {"cnpj":"%1","codigo":"%2"})").arg(store, code);
}

void typeKeys(QWidget* widget, const QString& keys) {
  for (QChar key : keys) {
    if (key == u'\r') {
      QTest::keyClick(widget, Qt::Key_Return);
    } else if (key == u'\x1b') {
      QTest::keyClick(widget, Qt::Key_Escape);
    } else {
      QTest::keyClick(widget, key.toLatin1());
    }
  }
}

ModalAnswer::ModalAnswer(Action action) : action_(std::move(action)) {
  poller_.setInterval(10);
  connect(&poller_, &QTimer::timeout, this, &ModalAnswer::poll);
  poller_.start();
}

void ModalAnswer::poll() {
  QWidget* dialog = QApplication::activeModalWidget();
  if (dialog == nullptr || !dialog->isVisible()) {
    return;
  }
  poller_.stop();
  answered_ = true;
  QStringList texts;
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
    texts << box->text();
  }
  for (auto* label : dialog->findChildren<QLabel*>()) {
    texts << label->text();
  }
  for (auto* edit : dialog->findChildren<QPlainTextEdit*>()) {
    texts << edit->toPlainText();
  }
  for (auto* edit : dialog->findChildren<QTextEdit*>()) {
    texts << edit->toPlainText();
  }
  text_ = texts.join(u'\n');
  action_(dialog);
}

void clickButton(QWidget* dialog, const QString& caption) {
  for (auto* button : dialog->findChildren<QAbstractButton*>()) {
    if (button->text().remove(u'&') == caption) {
      QTest::mouseClick(button, Qt::LeftButton);
      return;
    }
  }
  QFAIL(qPrintable(QStringLiteral("no button \"%1\" in the dialog").arg(caption)));
}

void pressEnter(QWidget* dialog) {
  QWidget* focused = dialog->focusWidget();
  QTest::keyClick(focused != nullptr ? focused : dialog, Qt::Key_Return);
}

LoopEnd runInEventLoop(const std::function<void()>& action) {
  // The application's quit request shows as a Quit event sent to it.
  class QuitWatcher : public QObject {
   public:
    bool quitSeen = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        quitSeen = true;
      }
      return false;
    }
  } watcher;
  QCoreApplication::instance()->installEventFilter(&watcher);
  // Calls posted to this object vanish with it, so nothing is left in the queue for
  // the next test.
  QObject scope;
  QMetaObject::invokeMethod(
      &scope,
      [&] {
        action();
        // Posted after anything the action posted, so the action's own requests are
        // handled before the loop ends.
        QMetaObject::invokeMethod(
            &scope, [] { QCoreApplication::exit(kStillRunningCode); }, Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(kHungCode); });
  watchdog.start(30000);
  const int code = QApplication::exec();
  QCoreApplication::instance()->removeEventFilter(&watcher);
  if (code == kHungCode) {
    return LoopEnd::hung;
  }
  return watcher.quitSeen ? LoopEnd::quitRequested : LoopEnd::stillRunning;
}

}  // namespace varnok::test
