// varnok-json end to end: the built program is run with an input on standard input,
// and its standard output, standard error and exit status are compared in full.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_util.h"

namespace varnok::json {
namespace {

struct ToolRun {
  std::string out;
  std::string err;
  int status;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Runs the tool with arguments (already quoted for the shell) and input.
ToolRun RunTool(const std::string& arguments, const std::string& input,
                const std::string& environment = "LC_ALL=C.UTF-8") {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("varnok-json-tool-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "in", std::ios::binary) << input;
  const std::string command = "env " + environment + " '" VARNOK_JSON_TOOL "' " + arguments +
                              " < '" + (dir / "in").string() + "' > '" + (dir / "out").string() +
                              "' 2> '" + (dir / "err").string() + "'";
  const int status = std::system(command.c_str());
  ToolRun run{ReadFile(dir / "out"), ReadFile(dir / "err"),
              WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  std::filesystem::remove_all(dir);
  return run;
}

struct ToolCase {
  const char* arguments;
  const char* input;
  ToolRun expected;
};

const char* const kUsage =
    "usage: varnok-json [--as value|object|array] [--decimal-separator C] < json-text\n";

TEST(VarnokJsonTool, WritesWhatTheLibraryReadsOrItsError) {
  const ToolCase cases[] = {
      {"",
       "{\"a\": [1, 2.50, \"x\"], \"b\": TRUE}\n",
       {"{\"a\":[1,2.5,\"x\"],\"b\":true}\n", "", 0}},
      {"--as value", " 007 ", {"7\n", "", 0}},
      {"--as object", "{\"preco\": 12.5}", {"{\"preco\":12.5}\n", "", 0}},
      {"--as array", "[1,2,]", {"[1,2]\n", "", 0}},
      {"--as object", "[1]", {"", "<TJsonObject>\"\" parse error: [1]\n", 1}},
      {"--as array", "{}", {"", "<TJsonArray>\"\" parse error: {}\n", 1}},
      {"", "{\"data\":[1,x]}", {"", "<TJsonValue>\"data\" parse error: x\n", 1}},
      {"", "\"\\u12G4\"", {"", "Invalid unicode \\u12G4\n", 1}},
      {"", "", {"", "<TJsonValue>\"\" parse error: \n", 1}},
      {"", "\"caf\xC3\xA9 \xF0\x9F\x98\x80\"", {"\"caf\\u00e9 \\ud83d\\ude00\"\n", "", 0}},
      {"",
       "\"a\xFF"
       "b\xC3\"",
       {"\"a\\ufffdb\\ufffd\"\n", "", 0}},
      {"", "{\"n\xC3\xA3o\":x}", {"", "<TJsonValue>\"n\xC3\xA3o\" parse error: x\n", 1}},
      {"--decimal-separator ,", "1,5", {"1.5\n", "", 0}},
      {"--decimal-separator ,", "[1,5]", {"[1,5]\n", "", 0}},
      {"--decimal-separator .", "1,5", {"", "<TJsonValue>\"\" parse error: 1,5\n", 1}},
      {"--as array --decimal-separator ,", "[\"2,5\"]", {"[\"2,5\"]\n", "", 0}},
  };
  for (const ToolCase& c : cases) {
    const ToolRun run = RunTool(c.arguments, c.input);
    EXPECT_EQ(run.out, c.expected.out) << c.arguments << " < " << c.input;
    EXPECT_EQ(run.err, c.expected.err) << c.arguments << " < " << c.input;
    EXPECT_EQ(run.status, c.expected.status) << c.arguments << " < " << c.input;
  }
}

TEST(VarnokJsonTool, TakesTheDecimalSeparatorOfTheLocaleByDefault) {
  // The C locale's separator is '.', so the regional comma form is no number there.
  EXPECT_EQ(RunTool("", "1,5", "LC_ALL=C").err, "<TJsonValue>\"\" parse error: 1,5\n");
  EXPECT_EQ(RunTool("", "1.5", "LC_ALL=C").out, "1.5\n");
  // A locale the machine does not have falls back to '.'.
  EXPECT_EQ(RunTool("", "2.5", "LC_ALL=xx_NOWHERE").out, "2.5\n");
}

TEST(VarnokJsonTool, RefusesBadUsage) {
  const char* const arguments[] = {
      "--as",
      "--as list",
      "--decimal-separator",
      "--decimal-separator ,,",
      "--decimal-separator ''",
      "--verbose",
      "extra",
      "--as value --bogus x",
  };
  for (const char* argument : arguments) {
    const ToolRun run = RunTool(argument, "1");
    EXPECT_EQ(run.out, "") << argument;
    EXPECT_EQ(run.err, kUsage) << argument;
    EXPECT_EQ(run.status, 2) << argument;
  }
}

}  // namespace
}  // namespace varnok::json
