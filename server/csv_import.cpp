#include "csv_import.h"

#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

namespace varnok::store {

namespace {

constexpr std::size_t kCodeLength = 13;
constexpr std::array<std::string_view, 4> kColumns = {"codigo", "nome", "preco_venda", "id"};

struct CsvRecord {
  std::size_t line = 0;
  std::vector<std::string> fields;
  std::string error;
};

// Splits CSV text into records (RFC 4180 with either line ending). A malformed record
// keeps its error and the reader goes on at the next line.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text) : text_(text) {}

  bool atEnd() const { return pos_ >= text_.size(); }

  CsvRecord next() {
    CsvRecord record{line_, {}, {}};
    for (;;) {
      std::string field;
      const bool ok =
          peek() == '"' ? quotedField(field, record.error) : plainField(field, record.error);
      if (!ok) {
        skipRestOfLine();
        return record;
      }
      record.fields.push_back(std::move(field));
      if (peek() == ',') {
        ++pos_;
        continue;
      }
      endOfLine();
      return record;
    }
  }

 private:
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  bool atLineEnd() const {
    return atEnd() || text_[pos_] == '\n' ||
           (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ||
           (text_[pos_] == '\r' && pos_ + 1 == text_.size());
  }
  void endOfLine() {
    if (peek() == '\r') ++pos_;
    if (peek() == '\n') {
      ++pos_;
      ++line_;
    }
  }
  void skipRestOfLine() {
    while (!atEnd() && text_[pos_] != '\n') ++pos_;
    endOfLine();
  }

  bool plainField(std::string& field, std::string& error) {
    while (!atLineEnd() && peek() != ',') {
      if (peek() == '"') {
        error = "quote inside an unquoted field";
        return false;
      }
      field += text_[pos_++];
    }
    return true;
  }

  bool quotedField(std::string& field, std::string& error) {
    ++pos_;  // opening quote
    for (;;) {
      if (atEnd()) {
        error = "quoted field is not closed";
        return false;
      }
      const char c = text_[pos_++];
      if (c == '"') {
        if (peek() != '"') break;
        ++pos_;  // a doubled quote stands for one
      } else if (c == '\n') {
        ++line_;
      }
      field += c;
    }
    if (!atLineEnd() && peek() != ',') {
      error = "text after the closing quote of a field";
      return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

bool validUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    char32_t code = lead;
    if (lead >= 0x80) {
      if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
      else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
      else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
      else
        return false;
      if (i + length > text.size()) return false;
      code = lead & (0x7F >> length);
      for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return false;
        code = (code << 6) | (next & 0x3F);
      }
      // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8.
      const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
      if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

std::optional<std::string> paddedCode(std::string_view field) {
  if (field.empty() || field.size() > kCodeLength) return std::nullopt;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return std::string(kCodeLength - field.size(), '0') + std::string(field);
}

template <typename Number>
std::optional<Number> wholeNumber(std::string_view field) {
  Number value{};
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
  return value;
}

// Maps each expected column to its position in the header; throws CsvError.
std::array<std::size_t, 4> columnPositions(CsvRecord header) {
  if (!header.error.empty()) throw CsvError("line 1: " + header.error);
  if (!header.fields.empty() && header.fields[0].starts_with("\xEF\xBB\xBF")) {
    header.fields[0].erase(0, 3);  // byte-order mark written by spreadsheet programs
  }
  std::array<std::size_t, 4> positions{};
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    std::size_t found = 0;
    for (std::size_t f = 0; f < header.fields.size(); ++f) {
      if (header.fields[f] == kColumns[c]) {
        positions[c] = f;
        ++found;
      }
    }
    if (found != 1 || header.fields.size() != kColumns.size()) {
      throw CsvError("line 1: the header must name the columns codigo,nome,preco_venda,id");
    }
  }
  return positions;
}

// The product of one record, or the reason why there is none.
std::string toProduct(const CsvRecord& record, const std::array<std::size_t, 4>& at,
                      Product& product) {
  if (!record.error.empty()) return record.error;
  if (record.fields.size() != kColumns.size()) {
    return "expected 4 fields, found " + std::to_string(record.fields.size());
  }
  const std::string& codigo = record.fields[at[0]];
  const std::string& nome = record.fields[at[1]];
  const std::string& preco = record.fields[at[2]];
  const std::string& id = record.fields[at[3]];

  const auto code = paddedCode(codigo);
  if (!code) return "codigo \"" + codigo + "\" is not 1 to 13 digits";
  if (nome.find_first_not_of(" \t") == std::string::npos) return "nome is empty";
  if (!validUtf8(nome)) return "nome is not valid UTF-8";
  const auto price = wholeNumber<double>(preco);
  if (!price || !std::isfinite(*price) || *price < 0) {
    return "preco_venda \"" + preco + "\" is not a price such as 21.9";
  }
  const auto number = wholeNumber<std::int64_t>(id);
  if (!number) return "id \"" + id + "\" is not an integer";
  product = Product{*code, nome, *price, *number};
  return {};
}

}  // namespace

CsvImport parseProductCsv(std::string_view text) {
  CsvReader reader(text);
  const auto positions = columnPositions(reader.next());
  CsvImport result;
  while (!reader.atEnd()) {
    const CsvRecord record = reader.next();
    const bool blankLine =
        record.error.empty() && record.fields.size() == 1 && record.fields[0].empty();
    if (blankLine) continue;
    Product product;
    if (std::string problem = toProduct(record, positions, product); !problem.empty()) {
      result.problems.push_back({record.line, std::move(problem)});
    } else {
      result.products.push_back(std::move(product));
    }
  }
  return result;
}

CsvImport readProductCsv(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw CsvError("cannot open " + file.string());
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw CsvError("cannot read " + file.string());
  return parseProductCsv(content.str());
}

}  // namespace varnok::store
