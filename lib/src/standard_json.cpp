#include "standard_json.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace varnok::detail {
namespace {

// The document reader nests at most this deep; deeper objects are not worth rewriting.
constexpr std::size_t kRewriteDepth = 512;
constexpr std::uint32_t kComma = std::numeric_limits<std::uint32_t>::max();

// A member as written in the compact text: the key with its quotes from keyStart to
// keyEnd, then ':', then the value up to valueEnd.
struct Member {
  std::uint32_t keyStart;
  std::uint32_t keyEnd;
  std::uint32_t valueEnd;
};

struct ObjectFrame {
  std::uint32_t start = 0;  // position of '{' in the compact text
  std::vector<Member> members;
  std::vector<std::uint64_t> nameHashes;
};

// A range of the compact text, or a comma when begin is kComma.
struct Piece {
  std::uint32_t begin;
  std::uint32_t end;
};

// An object that repeated a name: [start, end) of the compact text is written as '{',
// the pieces, '}'.
struct Rewrite {
  std::uint32_t start;
  std::uint32_t end;
  std::vector<Piece> pieces;
};

bool isBlank(char16_t c) noexcept {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}
bool isDigit(char16_t c) noexcept {
  return c >= u'0' && c <= u'9';
}
int hexValue(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// FNV-1a over the code units of a decoded name.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t hashUnit(std::uint64_t hash, char16_t unit) noexcept {
  return (hash ^ unit) * 1099511628211ull;
}

char16_t unescaped(char16_t c) noexcept {
  switch (c) {
    case u'b':
      return u'\b';
    case u'f':
      return u'\f';
    case u'n':
      return u'\n';
    case u'r':
      return u'\r';
    case u't':
      return u'\t';
    default:
      return c;  // '"', '\\' and '/'
  }
}

// The name of a well-formed string literal (quotes included), escapes decoded.
std::u16string decodeName(std::u16string_view literal) {
  std::u16string name;
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    if (literal[i] != u'\\') {
      name.push_back(literal[i]);
    } else if (literal[++i] == u'u') {
      char16_t unit = 0;
      for (int k = 0; k < 4; ++k) unit = static_cast<char16_t>(unit * 16 + hexValue(literal[++i]));
      name.push_back(unit);
    } else {
      name.push_back(unescaped(literal[i]));
    }
  }
  return name;
}

class Rewriter {
 public:
  explicit Rewriter(std::u16string text) : owned_(std::move(text)), text_(owned_) {}

  std::u16string run() {
    if (text_.size() >= kComma) fail(0, "text too long");
    if (!text_.empty() && text_[0] == u'\uFEFF') {
      pos_ = 1;
      diverge(0);
    }
    parse();
    if (rewrites_.empty()) return copied_ ? std::move(out_) : std::move(owned_);
    std::sort(rewrites_.begin(), rewrites_.end(),
              [](const Rewrite& a, const Rewrite& b) { return a.start < b.start; });
    std::u16string result;
    result.reserve(outView().size());
    emit(0, static_cast<std::uint32_t>(outView().size()), result);
    return result;
  }

 private:
  enum class Expect { value, valueOrEnd, keyOrEnd, key, colon, commaOrEnd, nothing };

  [[noreturn]] void fail(std::size_t at, const std::string& what) const {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < at && i < text_.size(); ++i) {
      if (text_[i] == u'\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    throw MalformedJson(what + " at line " + std::to_string(line) + ", column " +
                        std::to_string(column));
  }

  [[noreturn]] void failUnexpected(std::size_t at) const {
    const char16_t c = text_[at];
    std::string shown;
    if (c > u' ' && c < 0x7F) {
      shown = std::string("'") + static_cast<char>(c) + "'";
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      shown = "U+";
      for (int shift = 12; shift >= 0; shift -= 4) shown.push_back(kHex[(c >> shift) & 0xF]);
    }
    fail(at, "unexpected character " + shown);
  }

  // Until the first blank is skipped the compact text is the source itself, and a
  // compact reply is never copied; from there on it is built in out_.
  void diverge(std::size_t written) {
    if (copied_) return;
    out_.reserve(text_.size());
    out_.assign(text_.substr(0, written));
    copied_ = true;
  }
  void put(std::u16string_view piece) {
    if (copied_) out_.append(piece);
  }
  std::size_t outSize() const noexcept { return copied_ ? out_.size() : pos_; }
  std::u16string_view outView() const noexcept {
    return copied_ ? std::u16string_view(out_) : text_.substr(0, pos_);
  }

  void skipBlanks() {
    if (pos_ < text_.size() && isBlank(text_[pos_])) diverge(pos_);
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
  }

  bool topIsObject() const noexcept { return !kinds_.empty() && kinds_.back() == u'{'; }
  bool topIsTracked() const noexcept { return topIsObject() && kinds_.size() <= kRewriteDepth; }

  void parse() {
    Expect expect = Expect::value;
    for (;;) {
      skipBlanks();
      if (pos_ == text_.size()) {
        if (expect == Expect::nothing) return;
        fail(pos_, "unexpected end of text");
      }
      const char16_t c = text_[pos_];
      switch (expect) {
        case Expect::valueOrEnd:
          if (c == u']') {
            expect = close(u']');
            break;
          }
          [[fallthrough]];
        case Expect::value:
          expect = value(c);
          break;
        case Expect::keyOrEnd:
          if (c == u'}') {
            expect = close(u'}');
            break;
          }
          [[fallthrough]];
        case Expect::key:
          if (c != u'"') failUnexpected(pos_);
          key();
          expect = Expect::colon;
          break;
        case Expect::colon:
          if (c != u':') failUnexpected(pos_);
          ++pos_;
          put(u":");
          expect = Expect::value;
          break;
        case Expect::commaOrEnd:
          if (c == u',') {
            ++pos_;
            put(u",");
            expect = topIsObject() ? Expect::key : Expect::value;
          } else if ((c == u']' && !topIsObject()) || (c == u'}' && topIsObject())) {
            expect = close(c);
          } else {
            failUnexpected(pos_);
          }
          break;
        case Expect::nothing:
          fail(pos_, "text after the value");
      }
    }
  }

  Expect value(char16_t c) {
    switch (c) {
      case u'{':
        open(u'{');
        return Expect::keyOrEnd;
      case u'[':
        open(u'[');
        return Expect::valueOrEnd;
      case u'"':
        string(nullptr);
        break;
      case u't':
        literal(u"true");
        break;
      case u'f':
        literal(u"false");
        break;
      case u'n':
        literal(u"null");
        break;
      default:
        if (c == u'-' || isDigit(c)) {
          number();
          break;
        }
        failUnexpected(pos_);
    }
    return afterValue();
  }

  Expect afterValue() {
    if (kinds_.empty()) return Expect::nothing;
    if (topIsTracked()) {
      frames_[openFrames_ - 1].members.back().valueEnd = static_cast<std::uint32_t>(outSize());
    }
    return Expect::commaOrEnd;
  }

  void open(char16_t kind) {
    kinds_.push_back(kind);
    ++pos_;
    put(std::u16string_view(&kind, 1));
    if (kind == u'{' && kinds_.size() <= kRewriteDepth) {
      if (openFrames_ == frames_.size()) frames_.emplace_back();
      ObjectFrame& frame = frames_[openFrames_++];
      frame.start = static_cast<std::uint32_t>(outSize() - 1);
      frame.members.clear();
      frame.nameHashes.clear();
    }
  }

  Expect close(char16_t bracket) {
    ++pos_;
    put(std::u16string_view(&bracket, 1));
    if (bracket == u'}' && kinds_.size() <= kRewriteDepth) {
      finishObject(frames_[--openFrames_]);
    }
    kinds_.pop_back();
    return afterValue();
  }

  void key() {
    const auto start = static_cast<std::uint32_t>(outSize());
    std::uint64_t hash = kHashStart;
    string(topIsTracked() ? &hash : nullptr);
    if (topIsTracked()) {
      ObjectFrame& frame = frames_[openFrames_ - 1];
      frame.members.push_back({start, static_cast<std::uint32_t>(outSize()), 0});
      frame.nameHashes.push_back(hash);
    }
  }

  // Copies a string literal as it stands; hashes its decoded units when asked.
  void string(std::uint64_t* hash) {
    const std::size_t begin = pos_++;
    for (;;) {
      if (pos_ == text_.size()) fail(pos_, "unexpected end of text in a string");
      const char16_t c = text_[pos_];
      if (c == u'"') break;
      if (c < 0x20) fail(pos_, "control character in a string");
      if (c != u'\\') {
        if (hash) *hash = hashUnit(*hash, c);
        ++pos_;
        continue;
      }
      if (pos_ + 1 == text_.size()) fail(pos_ + 1, "unexpected end of text in a string");
      const char16_t e = text_[pos_ + 1];
      if (e == u'u') {
        unsigned unit = 0;
        for (std::size_t k = 2; k < 6; ++k) {
          const int digit = pos_ + k < text_.size() ? hexValue(text_[pos_ + k]) : -1;
          if (digit < 0) fail(pos_, "invalid \\u escape");
          unit = unit * 16 + static_cast<unsigned>(digit);
        }
        if (hash) *hash = hashUnit(*hash, static_cast<char16_t>(unit));
        pos_ += 6;
      } else if (e == u'"' || e == u'\\' || e == u'/' || e == u'b' || e == u'f' || e == u'n' ||
                 e == u'r' || e == u't') {
        if (hash) *hash = hashUnit(*hash, unescaped(e));
        pos_ += 2;
      } else {
        fail(pos_, "invalid escape");
      }
    }
    ++pos_;
    put(text_.substr(begin, pos_ - begin));
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  void number() {
    const std::size_t begin = pos_;
    const auto digits = [this] {
      const std::size_t from = pos_;
      while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
      return pos_ - from;
    };
    const auto at = [this](char16_t c) { return pos_ < text_.size() && text_[pos_] == c; };
    if (at(u'-')) ++pos_;
    if (at(u'0')) {
      ++pos_;
    } else if (digits() == 0) {
      fail(begin, "invalid number");
    }
    if (at(u'.')) {
      ++pos_;
      if (digits() == 0) fail(begin, "invalid number");
    }
    if (at(u'e') || at(u'E')) {
      ++pos_;
      if (at(u'+') || at(u'-')) ++pos_;
      if (digits() == 0) fail(begin, "invalid number");
    }
    put(text_.substr(begin, pos_ - begin));
  }

  void literal(std::u16string_view word) {
    if (text_.substr(pos_, word.size()) != word) fail(pos_, "invalid literal");
    pos_ += word.size();
    put(word);
  }

  std::u16string_view keyText(const Member& m) const {
    return outView().substr(m.keyStart, m.keyEnd - m.keyStart);
  }

  // Finds repeated names; when there are some, records how the object is written.
  void finishObject(ObjectFrame& frame) {
    const std::vector<Member>& members = frame.members;
    if (members.size() < 2) return;
    std::vector<std::uint32_t> order(members.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&frame](std::uint32_t a, std::uint32_t b) {
      return frame.nameHashes[a] != frame.nameHashes[b] ? frame.nameHashes[a] < frame.nameHashes[b]
                                                        : a < b;
    });
    // valueOf[i]: whose value member i takes; dropped members get kComma.
    std::vector<std::uint32_t> valueOf;
    for (std::size_t g = 0; g < order.size();) {
      std::size_t h = g + 1;
      while (h < order.size() && frame.nameHashes[order[h]] == frame.nameHashes[order[g]]) ++h;
      if (h - g > 1) markRepeats(frame, order, g, h, valueOf);
      g = h;
    }
    if (valueOf.empty()) return;

    Rewrite rewrite{frame.start, static_cast<std::uint32_t>(outSize()), {}};
    for (std::uint32_t i = 0; i < members.size(); ++i) {
      if (valueOf[i] == kComma) continue;
      if (!rewrite.pieces.empty()) rewrite.pieces.push_back({kComma, kComma});
      const Member& own = members[i];
      const Member& from = members[valueOf[i]];
      if (valueOf[i] == i) {
        rewrite.pieces.push_back({own.keyStart, own.valueEnd});
      } else {
        rewrite.pieces.push_back({own.keyStart, own.keyEnd + 1});
        rewrite.pieces.push_back({from.keyEnd + 1, from.valueEnd});
      }
    }
    rewrites_.push_back(std::move(rewrite));
  }

  // Members order[g..h) share a hash; those whose names are equal form one member.
  void markRepeats(const ObjectFrame& frame, const std::vector<std::uint32_t>& order, std::size_t g,
                   std::size_t h, std::vector<std::uint32_t>& valueOf) {
    std::vector<std::pair<std::u16string, std::uint32_t>> names;
    for (std::size_t k = g; k < h; ++k) {
      names.emplace_back(decodeName(keyText(frame.members[order[k]])), order[k]);
    }
    std::sort(names.begin(), names.end());
    for (std::size_t a = 0; a < names.size();) {
      std::size_t b = a + 1;
      while (b < names.size() && names[b].first == names[a].first) ++b;
      if (b - a > 1) {
        if (valueOf.empty()) {
          valueOf.resize(frame.members.size());
          for (std::uint32_t i = 0; i < valueOf.size(); ++i) valueOf[i] = i;
        }
        const std::uint32_t first = names[a].second;
        const std::uint32_t last = names[b - 1].second;
        for (std::size_t k = a + 1; k < b; ++k) valueOf[names[k].second] = kComma;
        valueOf[first] = last;
      }
      a = b;
    }
  }

  // Writes [begin, end) of the compact text, each rewritten object in its new form.
  void emit(std::uint32_t begin, std::uint32_t end, std::u16string& result) const {
    std::uint32_t cursor = begin;
    auto next = firstRewriteFrom(cursor);
    while (next != rewrites_.end() && next->start < end) {
      result.append(outView().substr(cursor, next->start - cursor));
      result.push_back(u'{');
      for (const Piece& piece : next->pieces) {
        if (piece.begin == kComma) {
          result.push_back(u',');
        } else {
          emit(piece.begin, piece.end, result);
        }
      }
      result.push_back(u'}');
      cursor = next->end;
      next = firstRewriteFrom(cursor);
    }
    result.append(outView().substr(cursor, end - cursor));
  }

  std::vector<Rewrite>::const_iterator firstRewriteFrom(std::uint32_t position) const {
    return std::lower_bound(
        rewrites_.begin(), rewrites_.end(), position,
        [](const Rewrite& rewrite, std::uint32_t at) { return rewrite.start < at; });
  }

  std::u16string owned_;
  std::u16string_view text_;
  std::size_t pos_ = 0;
  bool copied_ = false;
  std::u16string out_;
  std::u16string kinds_;  // the open containers, '[' or '{', innermost last
  std::vector<ObjectFrame> frames_;
  std::size_t openFrames_ = 0;
  std::vector<Rewrite> rewrites_;
};

}  // namespace

std::u16string rewriteStandardJson(std::u16string text) {
  return Rewriter(std::move(text)).run();
}

}  // namespace varnok::detail
