// What the kiosk window tests share: a folder that stands in for the executable's,
// typing as the scanner types, answering modal dialogs and running the event loop.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "scripted_server.h"

class QPushButton;
class QWidget;

namespace varnok::test {

// The settings a test writes into ini/config-check.ini.
struct KioskIni {
  std::string tipo = "T";
  int tamanho = 4;
  std::string host = "127.0.0.1";
  std::string banco = "quorvel";
  int porta = 9000;
  int usuario = 1;
};

// A temporary folder that the program takes for the folder of its executable: its
// ini/config-check.ini is the kiosk's settings file and Log/ holds the error log.
class KioskFolder {
 public:
  KioskFolder();
  ~KioskFolder();
  KioskFolder(const KioskFolder&) = delete;
  KioskFolder& operator=(const KioskFolder&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }
  void writeSettings(const KioskIni& ini) const;
  // The messages of today's log, one per line, without the time stamp and its " - ".
  QStringList loggedMessages() const;
  bool hasLogFolder() const;
  // A plain file where the Log folder belongs: every LogError then fails.
  void blockLogFolder() const;

 private:
  QTemporaryDir dir_;
  std::filesystem::path path_;
};

// {"success":true,"data":<dataJson>} with status 200.
ScriptedReply successReply(const std::string& dataJson);
// The path and body of every request the server received, as "PATH BODY".
QStringList receivedRequests(const ScriptedServer& server);
// The first request's body, as the kiosk sends it for a lookup of code.
QString lookupRequest(const QString& code, const QString& store = QStringLiteral("quorvel"));

// Types keys into widget through the real event path: "\r" as Enter, "\x1b" as Esc and
// every other character as the key that types it.
void typeKeys(QWidget* widget, const QString& keys);

// Waits for the next modal dialog and runs the action on it, as a user would answer it.
class ModalAnswer : public QObject {
  Q_OBJECT

 public:
  using Action = std::function<void(QWidget* dialog)>;
  explicit ModalAnswer(Action action);

  bool answered() const noexcept { return answered_; }
  // The texts the dialog showed: its labels and text boxes, one per line.
  QString dialogText() const { return text_; }

 private:
  void poll();

  Action action_;
  QTimer poller_;
  bool answered_ = false;
  QString text_;
};

// Answers of the two dialogs the kiosk shows.
void clickButton(QWidget* dialog, const QString& caption);
void pressEnter(QWidget* dialog);

enum class LoopEnd { quitRequested, stillRunning, hung };
// Runs action inside the application's event loop, as the program runs its handlers,
// and tells whether the action asked the application to quit.
LoopEnd runInEventLoop(const std::function<void()>& action);

}  // namespace varnok::test
