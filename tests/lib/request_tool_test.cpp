// varnok-request end to end: a copy of the tool in a temporary folder (so that its Log
// folder lands there) against a scripted server.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "scripted_server.h"
#include "temporary_folder.h"
#include "varnok/platform.h"
#include "varnok/request.h"
#include "varnok/utf.h"

namespace varnok {
namespace {

namespace fs = std::filesystem;
using test::makeReply;
using test::ScriptedReply;
using test::ScriptedServer;

constexpr char kUsageLine[] = "usage: varnok-request --host H --port P --store S RESOURCE [BODY]\n";

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string quoted(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) {
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return out + "'";
}

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

class RequestToolTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(VARNOK_REQUEST_EXE, dir_ / "varnok-request");
    server_ = std::make_unique<ScriptedServer>();
  }
  void TearDown() override { server_.reset(); }

  // Runs the copy with the arguments, standard input from stdinText and the locale
  // variables cleared except LC_ALL.
  ToolRun run(const std::vector<std::string>& args, const std::string& stdinText = "",
              const std::string& locale = "C") {
    std::ofstream(dir_ / "in", std::ios::binary) << stdinText;
    std::string command = "env -u LANG -u LANGUAGE LC_ALL=" + locale + " " +
                          quoted((dir_ / "varnok-request").string());
    for (const std::string& arg : args) {
      command += " " + quoted(arg);
    }
    command += " <" + quoted((dir_ / "in").string()) + " >" + quoted((dir_ / "out").string()) +
               " 2>" + quoted((dir_ / "err").string());
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status)) << command;
    return {WEXITSTATUS(status), readBytes(dir_ / "out"), readBytes(dir_ / "err")};
  }

  std::vector<std::string> connection() const {
    return {"--host", "127.0.0.1", "--port", std::to_string(server_->port()), "--store", "quorvel"};
  }
  std::vector<std::string> withConnection(std::vector<std::string> rest) const {
    std::vector<std::string> args = connection();
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
  }

  std::string onlyLogFile() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir_ / "Log")) {
      files.push_back(entry.path());
    }
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? std::string() : readBytes(files[0]);
  }

  varnok::test::TemporaryFolder folder_{"varnok-request-tool"};
  const fs::path dir_ = folder_.path();
  std::unique_ptr<ScriptedServer> server_;
};

TEST_F(RequestToolTest, PrintsTrueAndTheDataAndSendsWhatTheKioskSends) {
  server_->setReply(
      makeReply(200, "application/json", R"({"success":true,"data":[{"nome":"Café"}]})"));
  const std::u16string tokenBefore =
      authorizationHeader(u"quorvel", u"/app/buscaProduto", localNow());
  const ToolRun result = run(withConnection({"/app/buscaProduto", R"({"codigo":"789"})"}));
  const std::u16string tokenAfter =
      authorizationHeader(u"quorvel", u"/app/buscaProduto", localNow());

  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "true\n[{\"nome\":\"Caf\\u00e9\"}]\n");
  EXPECT_EQ(result.err, "");
  ASSERT_EQ(server_->requests().size(), 1u);
  const test::RecordedRequest request = server_->requests()[0];
  EXPECT_EQ(request.requestLine, "POST //app/buscaProduto HTTP/1.1");
  EXPECT_EQ(request.body, R"({"codigo":"789"})");
  const std::string token = request.header("Authorization");
  // The tool reads the real clock: a run across midnight may carry either day's token.
  EXPECT_TRUE(token == json::ToUtf8(tokenBefore) || token == json::ToUtf8(tokenAfter)) << token;
  EXPECT_FALSE(fs::exists(dir_ / "Log"));
}

TEST_F(RequestToolTest, ReadsTheBodyFromStandardInputAndExitsOneOnFalse) {
  server_->setReply(
      makeReply(200, "application/json", R"({"success":false,"message":"Não achei"})"));
  const ToolRun result =
      run(withConnection({"/app/salvarProdutoCheck"}), "{\"CNPJ\":\"S\xC3\xA3o\"}");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "false\nN\xC3\xA3o achei\n");
  ASSERT_EQ(server_->requests().size(), 1u);
  EXPECT_EQ(server_->requests()[0].requestLine, "POST //app/salvarProdutoCheck HTTP/1.1");
  EXPECT_EQ(server_->requests()[0].body, "{\"CNPJ\":\"S\xC3\xA3o\"}");
}

// The error goes to Log/ beside the tool, stamped with the separators of its locale.
TEST_F(RequestToolTest, LogsErrorsBesideItselfWithTheSeparatorsOfItsLocale) {
  server_->setReply(makeReply(204, "application/json", ""));
  struct LocaleCase {
    std::string locale;
    std::string stamp;
  };
  for (const LocaleCase& c : {LocaleCase{"pt_BR.UTF-8", R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)"},
                              LocaleCase{"de_DE.UTF-8", R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)"},
                              LocaleCase{"fi_FI.UTF-8", R"(\d\d\.\d\d\.\d{4} \d\d\.\d\d\.\d\d)"}}) {
    fs::remove_all(dir_ / "Log");
    const ToolRun result = run(withConnection({"/app/buscaProduto", "{}"}), "", c.locale);
    EXPECT_EQ(result.exitCode, 1) << c.locale;
    EXPECT_EQ(result.out, "false\n\n") << c.locale;
    const std::string log = onlyLogFile();
    EXPECT_TRUE(std::regex_match(
        log, std::regex(c.stamp + " - Erro ao Enviar Solicita\xE7\xE3o - empty reply body\r\n")))
        << c.locale << ": " << log;
  }
}

TEST_F(RequestToolTest, ExitsThreeWhenTheLogCannotBeWritten) {
  std::ofstream(dir_ / "Log") << "x";
  server_->setReply(makeReply(200, "application/json", "[]"));
  const ToolRun result = run(withConnection({"/app/buscaProduto", "{}"}));
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "varnok-request: cannot write the error log: Not a directory\n");
}

TEST_F(RequestToolTest, ServerDownIsFalseWithoutALogLine) {
  std::string port;
  {
    ScriptedServer gone;
    port = std::to_string(gone.port());
  }
  const ToolRun result =
      run({"--host", "127.0.0.1", "--port", port, "--store", "quorvel", "/app/buscaProduto", "{}"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "false\n\n");
  EXPECT_FALSE(fs::exists(dir_ / "Log"));
}

TEST_F(RequestToolTest, UsageErrorsExitTwoWithTheUsageLine) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"/app/buscaProduto"},
      {"--host", "127.0.0.1", "--port", "9000", "/app/buscaProduto"},
      {"--host", "127.0.0.1", "--store", "quorvel", "/app/buscaProduto"},
      {"--port", "9000", "--store", "quorvel", "/app/buscaProduto"},
      {"--host", "127.0.0.1", "--port", "abc", "--store", "quorvel", "/app/buscaProduto"},
      {"--host", "127.0.0.1", "--port", "65536", "--store", "quorvel", "/app/buscaProduto"},
      {"--host", "127.0.0.1", "--port", "-1", "--store", "quorvel", "/app/buscaProduto"},
      {"--host", "127.0.0.1", "--port", "9000", "--store", "quorvel"},
      {"--host", "127.0.0.1", "--port", "9000", "--store", "quorvel", "/a", "{}", "extra"},
      {"--host", "127.0.0.1", "--port", "9000", "--store", "quorvel", "--verbose", "/a"},
      {"--host", "a", "--host", "b", "--port", "9000", "--store", "quorvel", "/a"},
      {"--host", "127.0.0.1", "--port", "9000", "/a", "--store"},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const auto& arg : args) {
      shown += arg + " ";
    }
    const ToolRun result = run(args);
    EXPECT_EQ(result.exitCode, 2) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_EQ(result.err, kUsageLine) << shown;
  }
  EXPECT_TRUE(server_->requests().empty());
}

}  // namespace
}  // namespace varnok
