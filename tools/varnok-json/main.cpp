// varnok-json [--as value|object|array] [--decimal-separator C] < text
//
// Reads a JSON text (UTF-8; bytes that are not UTF-8 read as U+FFFD) from standard
// input, parses it with the chosen root class and writes its Stringify text and a
// newline to standard output (exit 0). A library error is printed with a newline on
// standard error (exit 1); a usage error exits 2.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "varnok/json.h"
#include "varnok/utf.h"

namespace {

using varnok::json::FromUtf8;
using varnok::json::ToUtf8;

constexpr const char* kUsage =
    "usage: varnok-json [--as value|object|array] [--decimal-separator C] < json-text";

enum class RootClass { value, object, array };

struct Options {
  RootClass root = RootClass::value;
  std::optional<char16_t> decimalSeparator;
};

std::optional<RootClass> RootClassNamed(std::string_view name) {
  if (name == "value") return RootClass::value;
  if (name == "object") return RootClass::object;
  if (name == "array") return RootClass::array;
  return std::nullopt;
}

// The separator must be one character; it may be given in UTF-8 (a separator outside
// the Basic Multilingual Plane is not one UTF-16 code unit and is refused).
std::optional<char16_t> SeparatorNamed(std::string_view text) {
  const std::u16string separator = FromUtf8(text);
  if (separator.size() != 1 || (separator[0] >= 0xD800 && separator[0] <= 0xDFFF)) {
    return std::nullopt;
  }
  return separator[0];
}

std::optional<Options> ReadOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (i + 1 >= argc) return std::nullopt;
    const std::string_view operand = argv[++i];
    if (argument == "--as") {
      const auto root = RootClassNamed(operand);
      if (!root) return std::nullopt;
      options.root = *root;
    } else if (argument == "--decimal-separator") {
      const auto separator = SeparatorNamed(operand);
      if (!separator) return std::nullopt;
      options.decimalSeparator = *separator;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

// The decimal separator of the locale the environment names (LC_ALL, LC_NUMERIC,
// LANG), as the C library reads it; '.' when the locale cannot be set.
char16_t LocaleDecimalSeparator() {
  if (std::setlocale(LC_ALL, "") == nullptr) return u'.';
  const std::lconv* conventions = std::localeconv();
  const std::u16string separator = conventions != nullptr && conventions->decimal_point != nullptr
                                       ? FromUtf8(conventions->decimal_point)
                                       : std::u16string();
  std::setlocale(LC_ALL, "C");
  return separator.size() == 1 ? separator[0] : u'.';
}

std::unique_ptr<varnok::json::TJsonBase> MakeRoot(RootClass root) {
  switch (root) {
    case RootClass::object:
      return std::make_unique<varnok::json::TJsonObject>();
    case RootClass::array:
      return std::make_unique<varnok::json::TJsonArray>();
    case RootClass::value:
      break;
  }
  return std::make_unique<varnok::json::TJsonValue>();
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ReadOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage << '\n';
    return 2;
  }
  varnok::json::SetRegionalDecimalSeparator(options->decimalSeparator ? *options->decimalSeparator
                                                                      : LocaleDecimalSeparator());

  std::ios::sync_with_stdio(false);
  const std::string input{std::istreambuf_iterator<char>(std::cin),
                          std::istreambuf_iterator<char>()};
  try {
    const std::unique_ptr<varnok::json::TJsonBase> root = MakeRoot(options->root);
    root->Parse(FromUtf8(input));
    std::cout << ToUtf8(root->Stringify()) << '\n';
  } catch (const varnok::json::JsonError& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  std::cout.flush();
  return std::cout.good() ? 0 : 1;
}
