#include "varnok/request.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "raw_server.h"
#include "scripted_server.h"
#include "temporary_folder.h"
#include "varnok/log.h"
#include "varnok/platform.h"
#include "varnok/regional.h"
#include "varnok/token_suffix.h"

namespace varnok {
namespace {

namespace fs = std::filesystem;
using test::makeReply;
using test::RecordedRequest;
using test::ScriptedReply;
using test::ScriptedServer;

constexpr std::size_t kCap = std::size_t{16} * 1024 * 1024;
constexpr char kStamp[] = "09/12/2025 14:03:27 - ";
constexpr char kPrefix[] = "Erro ao Enviar Solicita\xE7\xE3o - ";

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string lowerAscii(std::u16string text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c));
  }
  return out;
}

// The token of the day, built from its pieces with the digest whose vectors the digest
// tests check.
std::string expectedAuthorization(std::u16string_view sourceWithoutSuffix) {
  return "Basic" + lowerAscii(Md5Hex(std::u16string(sourceWithoutSuffix) + kTokenSuffix));
}

struct Outcome {
  bool result;
  std::u16string reply;
};

// Each test gets its own server, a temporary folder for the executable (and so for the
// log), the clock at 9 December 2025 14:03:27 and "/" ":" separators.
class SendRequestTest : public testing::Test {
 protected:
  void SetUp() override {
    setExecutableDirOverride(dir_);
    setClock([] { return LocalDateTime{2025, 12, 9, 14, 3, 27}; });
    savedRegional_ = regionalSettings();
    setRegionalSettings({u',', u'/', u':'});
    server_ = std::make_unique<ScriptedServer>();
  }
  void TearDown() override {
    server_.reset();
    setHttpTimeouts({});
    setExecutableDirOverride({});
    setClock({});
    setRegionalSettings(savedRegional_);
  }

  std::u16string baseUrl() const {
    const std::string url = server_->baseUrl();
    return {url.begin(), url.end()};
  }

  // The reply starts out filled, to show that SendRequest empties it.
  Outcome send(std::u16string_view body = u"{\"cnpj\":\"quorvel\"}",
               std::u16string_view resource = u"/app/buscaProduto") {
    return sendTo(baseUrl(), body, resource);
  }
  Outcome sendTo(std::u16string_view base, std::u16string_view body = u"{}",
                 std::u16string_view resource = u"/app/buscaProduto") {
    Outcome outcome{true, u"sobra"};
    outcome.result = SendRequest(outcome.reply, resource, base, u"quorvel", body);
    return outcome;
  }

  // The day's log, or nothing when no log folder was made at all.
  std::optional<std::string> log() const {
    if (!fs::exists(dir_ / "Log")) {
      return std::nullopt;
    }
    return readBytes(dir_ / "Log" / "Erro_09-12-2025.txt");
  }
  static std::string logLine(const std::string& message) {
    return kStamp + std::string(kPrefix) + message + "\r\n";
  }

  varnok::test::TemporaryFolder folder_{"varnok-request"};
  const fs::path dir_ = folder_.path();
  RegionalSettings savedRegional_;
  std::unique_ptr<ScriptedServer> server_;
};

TEST_F(SendRequestTest, SendsThePostWithTheDoubleSlashPathTokenAndBodyAsTheyStand) {
  server_->setReply(makeReply(200, "application/json", R"({"success":true,"data":[]})"));
  ASSERT_TRUE(send(u"{\"cnpj\":\"Loja São\"}").result);
  ASSERT_TRUE(send(u"{}", u"/app/salvarProdutoCheck").result);

  const std::vector<RecordedRequest> requests = server_->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].requestLine, "POST //app/buscaProduto HTTP/1.1");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_EQ(requests[0].header("Authorization"),
            expectedAuthorization(u"quorvelbuscaProduto091225"));
  EXPECT_EQ(requests[0].body, "{\"cnpj\":\"Loja S\xC3\xA3o\"}");
  EXPECT_EQ(requests[1].requestLine, "POST //app/salvarProdutoCheck HTTP/1.1");
  EXPECT_EQ(requests[1].header("Authorization"),
            expectedAuthorization(u"quorvelsalvarProdutoCheck091225"));
  EXPECT_EQ(requests[1].body, "{}");
  EXPECT_EQ(log(), std::nullopt);
}

// The URL is joined as it stands: dot segments are not resolved either.
TEST_F(SendRequestTest, LeavesDotSegmentsOfTheResourceAlone) {
  server_->setReply(makeReply(200, "application/json", R"({"success":true,"data":[]})"));
  ASSERT_TRUE(send(u"{}", u"/app/./x/../buscaProduto").result);
  ASSERT_EQ(server_->requests().size(), 1u);
  EXPECT_EQ(server_->requests()[0].requestLine, "POST //app/./x/../buscaProduto HTTP/1.1");
}

// Our two headers and what the HTTP client needs; no Expect, even for a body large
// enough that the client would otherwise wait for "100 Continue".
TEST_F(SendRequestTest, SendsNoHeaderOfOursBesidesTheTwo) {
  server_->setReply(makeReply(200, "application/json", R"({"success":true,"data":1})"));
  const std::u16string large = u"{\"x\":\"" + std::u16string(2 * 1024 * 1024, u'a') + u"\"}";
  for (const std::u16string& body : {std::u16string(u"{}"), large}) {
    ASSERT_TRUE(send(body).result);
    const RecordedRequest request = server_->requests().back();
    std::set<std::string> names;
    for (const auto& [name, value] : request.headers) {
      names.insert(name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"Accept", "Authorization", "Content-Length",
                                            "Content-Type", "Host"}));
    EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(server_->port()));
    EXPECT_EQ(request.header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(request.body.size(), body.size());
  }
}

TEST_F(SendRequestTest, TheTokenChangesAtMidnight) {
  server_->setReply(makeReply(200, "application/json", R"({"success":true,"data":1})"));
  send();
  setClock([] { return LocalDateTime{2025, 12, 9, 23, 59, 59}; });
  send();
  setClock([] { return LocalDateTime{2025, 12, 10, 0, 0, 0}; });
  send();
  const std::vector<RecordedRequest> requests = server_->requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].header("Authorization"), requests[0].header("Authorization"));
  EXPECT_EQ(requests[2].header("Authorization"),
            expectedAuthorization(u"quorvelbuscaProduto101225"));
}

struct EnvelopeCase {
  std::string name;
  ScriptedReply reply;
  bool result;
  std::u16string replyText;
  std::optional<std::string> logged;  // the message after the prefix, when one is logged
};
void PrintTo(const EnvelopeCase& c, std::ostream* os) {
  *os << c.name << ": " << c.reply.body.substr(0, 80);
}

class Envelope : public SendRequestTest, public testing::WithParamInterface<EnvelopeCase> {};

TEST_P(Envelope, GivesTheResultReplyAndLogLineOfItsOutcome) {
  const EnvelopeCase& c = GetParam();
  server_->setReply(c.reply);
  const Outcome outcome = send();
  EXPECT_EQ(outcome.result, c.result);
  EXPECT_EQ(outcome.reply, c.replyText);
  if (c.logged) {
    EXPECT_EQ(log(), logLine(*c.logged));
  } else {
    EXPECT_EQ(log(), std::nullopt);
  }
}

ScriptedReply json(int status, std::string body) {
  return test::makeReply(status, "application/json", std::move(body));
}
ScriptedReply typed(std::string contentType, std::string body) {
  return test::makeReply(200, std::move(contentType), std::move(body));
}

constexpr char kTrueWithData[] = R"({"success":true,"data":[7]})";

INSTANTIATE_TEST_SUITE_P(
    Cases, Envelope,
    testing::Values(
        // Accepted statuses and what "data" gives back.
        EnvelopeCase{"DataArray",
                     json(200, R"({"success":true,"data":[{"nome":"Arroz 5kg","id":12}]})"), true,
                     u"[{\"nome\":\"Arroz 5kg\",\"id\":12}]", std::nullopt},
        EnvelopeCase{"EmptyArray201", json(201, R"({"success":true,"data":[]})"), true, u"[]",
                     std::nullopt},
        EnvelopeCase{"Status202", json(202, kTrueWithData), true, u"[7]", std::nullopt},
        EnvelopeCase{"Status203", json(203, kTrueWithData), true, u"[7]", std::nullopt},
        EnvelopeCase{"Status205", json(205, kTrueWithData), true, u"[7]", std::nullopt},
        EnvelopeCase{"NamesInOtherCaseAndSuccessAsText",
                     json(200, R"({"SUCCESS":"TRUE","Data":{"nome":"X"}})"), true,
                     u"{\"nome\":\"X\"}", std::nullopt},
        EnvelopeCase{"DataText", json(200, R"({"success":true,"data":"ok"})"), true, u"\"ok\"",
                     std::nullopt},
        EnvelopeCase{"SuccessNumberOne", json(200, R"({"success":1,"data":5})"), true, u"5",
                     std::nullopt},
        EnvelopeCase{"DataNull", json(200, R"({"success":true,"data":null})"), false, u"",
                     std::nullopt},
        EnvelopeCase{"DataMissing", json(200, R"({"success":true})"), false, u"", std::nullopt},
        EnvelopeCase{"SuccessFalseWithMessage",
                     json(200, R"({"success":false,"message":"Produto inexistente"})"), false,
                     u"Produto inexistente", std::nullopt},
        EnvelopeCase{"SuccessMissingMessageMissing", json(200, R"({"data":[1]})"), false, u"",
                     std::nullopt},
        EnvelopeCase{"SuccessZeroMessageNumber", json(200, R"({"success":0,"message":12})"), false,
                     u"12", std::nullopt},
        EnvelopeCase{"SuccessOtherText", json(200, R"({"success":"sim","message":null})"), false,
                     u"", std::nullopt},
        // The charset label is not believed: the body is UTF-8.
        EnvelopeCase{"Latin1LabelOnUtf8Bytes",
                     typed("application/json; charset=ISO-8859-1",
                           "{\"success\":false,\"message\":\"N\xC3\xA3o h\xC3\xA1\"}"),
                     false, u"Não há", std::nullopt},
        EnvelopeCase{"TextPlain", typed("text/plain", kTrueWithData), true, u"[7]", std::nullopt},
        EnvelopeCase{"NoContentType", typed("", kTrueWithData), true, u"[7]", std::nullopt},
        // Statuses that are not accepted: nothing read, nothing logged.
        EnvelopeCase{"Status206", json(206, kTrueWithData), false, u"", std::nullopt},
        EnvelopeCase{"Status300", json(300, kTrueWithData), false, u"", std::nullopt},
        EnvelopeCase{"Status404", json(404, kTrueWithData), false, u"", std::nullopt},
        EnvelopeCase{"Status500", json(500, kTrueWithData), false, u"", std::nullopt},
        EnvelopeCase{"Status404Html", test::makeReply(404, "text/html", "<html>"), false, u"",
                     std::nullopt},
        // Errors on the way: one log line each.
        EnvelopeCase{"SuccessObject", json(200, R"({"success":{},"data":1})"), false, u"",
                     "<TJsonValue>\"success\" value type error: jvObject to jvBoolean"},
        EnvelopeCase{"MessageArray", json(200, R"({"success":false,"message":[1]})"), false, u"",
                     "<TJsonValue>\"message\" value type error: jvArray to jvString"},
        EnvelopeCase{"TopLevelArray", json(200, "[]"), false, u"",
                     "<TJsonObject>\"\" parse error: []"},
        EnvelopeCase{"Status204NoBody", json(204, ""), false, u"", "empty reply body"},
        EnvelopeCase{"EmptyBody200", json(200, ""), false, u"", "empty reply body"},
        EnvelopeCase{"OctetStream", typed("application/octet-stream", kTrueWithData), false, u"",
                     "empty reply body"},
        EnvelopeCase{"NotJson", json(200, "not json"), false, u"",
                     "reply body is not well-formed JSON: invalid literal at line 1, column 1"},
        // Our own reader would take these; the strict check stops them first.
        EnvelopeCase{"SingleQuotes", json(200, "{'success':true,'data':1}"), false, u"",
                     "reply body is not well-formed JSON: unexpected character \'\'\' at line 1, "
                     "column 2"},
        EnvelopeCase{"TrailingComma", json(200, "{\"success\":true,\"data\":[1,]}"), false, u"",
                     "reply body is not well-formed JSON: unexpected character ']' at line 1, "
                     "column 27"},
        EnvelopeCase{"LeadingZero", json(200, "{\"success\":true,\n\"data\":01}"), false, u"",
                     "reply body is not well-formed JSON: unexpected character '1' at line 2, "
                     "column 9"},
        EnvelopeCase{"LineBreakInAString", json(200, "{\"success\":false,\"message\":\"a\nb\"}"),
                     false, u"",
                     "reply body is not well-formed JSON: control character in a string at line "
                     "1, column 30"},
        EnvelopeCase{"BadEscape", json(200, R"({"success":false,"message":"\x41"})"), false, u"",
                     "reply body is not well-formed JSON: invalid escape at line 1, column 29"},
        EnvelopeCase{"ShortUnicodeEscape", json(200, R"({"success":false,"message":"\u12"})"),
                     false, u"",
                     "reply body is not well-formed JSON: invalid \\u escape at line 1, column 29"},
        EnvelopeCase{"CutShort", json(200, R"({"success":true,"data":[1)"), false, u"",
                     "reply body is not well-formed JSON: unexpected end of text at line 1, "
                     "column 26"},
        EnvelopeCase{"TwoValues", json(200, R"({"success":true} {})"), false, u"",
                     "reply body is not well-formed JSON: text after the value at line 1, "
                     "column 18"},
        EnvelopeCase{"CapitalLiteral", json(200, R"({"success":True})"), false, u"",
                     "reply body is not well-formed JSON: unexpected character 'T' at line 1, "
                     "column 12"},
        // The body is read as UTF-8 text first: each ill-formed sequence is one U+FFFD,
        // so a server that sends Windows-1252 shows its accented names with a mark.
        EnvelopeCase{"InvalidUtf8", json(200, "{\"success\":false,\"message\":\"\xFF\"}"), false,
                     u"\uFFFD", std::nullopt},
        EnvelopeCase{"Windows1252Name",
                     json(200, "{\"success\":true,\"data\":[{\"nome\":\"P\xE3o\",\"id\":3}]}"),
                     true, uR"([{"nome":"P\ufffdo","id":3}])", std::nullopt},
        // The byte-order mark goes with the standard pass; the reader never sees it.
        EnvelopeCase{"ByteOrderMark", json(200, "\xEF\xBB\xBF{\"success\":true,\"data\":5}"), true,
                     u"5", std::nullopt},
        EnvelopeCase{"ByteOrderMarkOnlyAtTheStart",
                     json(200, " \xEF\xBB\xBF{\"success\":true,\"data\":5}"), false, u"",
                     "reply body is not well-formed JSON: unexpected character U+FEFF at line 1, "
                     "column 2"},
        // The grammar allows a lone surrogate escape; the reader decides what it is.
        EnvelopeCase{"LoneSurrogateEscape", json(200, R"({"success":true,"data":["a\ud800b"]})"),
                     true, uR"(["a\ud800b"])", std::nullopt},
        // A repeated member name: the member stays where it first stood, with the value
        // of its last occurrence, at every depth; names compare after unescaping and
        // with their letter case.
        EnvelopeCase{"RepeatedSuccessTakesTheLastValue",
                     json(200, R"({"success":false,"data":[1],"success":true,"data":[2]})"), true,
                     u"[2]", std::nullopt},
        EnvelopeCase{"RepeatedSuccessLastFalse",
                     json(200, R"({"success":true,"data":[1],"message":"m","success":false})"),
                     false, u"m", std::nullopt},
        EnvelopeCase{"RepeatedNameInsideData",
                     json(200, R"({"success":true,"data":[{"nome":"A","id":1,"nome":"B"}]})"), true,
                     u"[{\"nome\":\"B\",\"id\":1}]", std::nullopt},
        EnvelopeCase{
            "RepeatedNameSpelledWithAnEscape",
            json(200, R"({"success":true,"data":{"a":1,"b":{"x":[1],"\u0078":[2]},"\u0061":3}})"),
            true, u"{\"a\":3,\"b\":{\"x\":[2]}}", std::nullopt},
        EnvelopeCase{"BlanksAndARepeatedNameAfterAByteOrderMark",
                     json(200,
                          "\xEF\xBB\xBF{ \"success\" : true ,\r\n \"data\" : { \"a\" : [ 1 ] , "
                          "\"b\":0, \"a\" : { } } }\r\n"),
                     true, u"{\"a\":{},\"b\":0}", std::nullopt},
        EnvelopeCase{"NamesInOtherCaseAreNotRepeats",
                     json(200, R"({"success":true,"SUCCESS":false,"data":{"id":1,"ID":2}})"), true,
                     u"{\"id\":1,\"ID\":2}", std::nullopt}),
    [](const testing::TestParamInfo<EnvelopeCase>& param) { return param.param.name; });

TEST_F(SendRequestTest, FollowsRedirectsAndTestsTheFinalStatus) {
  server_->setHandler([](const RecordedRequest& request) -> ScriptedReply {
    if (request.target == "//app/buscaProduto") {
      return test::makeReply(307, "text/plain", "", {{"Location", "/moved"}});
    }
    if (request.target == "/moved") {
      return test::makeReply(302, "text/plain", "", {{"Location", "/gone"}});
    }
    return json(200, R"({"success":true,"data":[1]})");
  });
  const Outcome outcome = send(u"{\"a\":1}");
  EXPECT_TRUE(outcome.result);
  EXPECT_EQ(outcome.reply, u"[1]");
  const std::vector<RecordedRequest> requests = server_->requests();
  ASSERT_EQ(requests.size(), 3u);
  // 307 repeats the POST with its body and headers; 302 goes on as GET, as HTTP has it.
  EXPECT_EQ(requests[1].requestLine, "POST /moved HTTP/1.1");
  EXPECT_EQ(requests[1].body, "{\"a\":1}");
  EXPECT_EQ(requests[1].header("Authorization"), requests[0].header("Authorization"));
  EXPECT_EQ(requests[2].requestLine, "GET /gone HTTP/1.1");
  EXPECT_EQ(log(), std::nullopt);
}

TEST_F(SendRequestTest, ARedirectToARefusedStatusIsNoAnswer) {
  server_->setHandler([](const RecordedRequest& request) -> ScriptedReply {
    if (request.target == "//app/buscaProduto") {
      return test::makeReply(301, "text/plain", "", {{"Location", "/elsewhere"}});
    }
    return json(404, R"({"success":true,"data":[1]})");
  });
  const Outcome outcome = send();
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(server_->requests().size(), 2u);
  EXPECT_EQ(log(), std::nullopt);
}

TEST_F(SendRequestTest, EndlessRedirectsStopAfterTen) {
  server_->setReply(makeReply(302, "text/plain", "", {{"Location", "/again"}}));
  const Outcome outcome = send();
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(server_->requests().size(), 11u);
  EXPECT_EQ(log(), std::nullopt);
}

std::u16string ascii(const std::string& text) {
  return {text.begin(), text.end()};
}

// A port nobody listens on any more, and a URL without a host.
TEST_F(SendRequestTest, AnExchangeThatFailsIsNoAnswerAndIsNotLogged) {
  std::string closedPort;
  {
    ScriptedServer gone;
    closedPort = std::to_string(gone.port());
  }
  for (const std::u16string& base : {u"http://127.0.0.1:" + ascii(closedPort),
                                     u"http://:" + ascii(std::to_string(server_->port()))}) {
    const Outcome outcome = sendTo(base);
    EXPECT_FALSE(outcome.result) << std::string(base.begin(), base.end());
    EXPECT_EQ(outcome.reply, u"");
  }
  EXPECT_TRUE(server_->requests().empty());
  EXPECT_EQ(log(), std::nullopt);
}

TEST_F(SendRequestTest, AServerThatNeverAnswersEndsAtTheReplyLimit) {
  setHttpTimeouts({std::chrono::seconds(5), std::chrono::milliseconds(300)});
  ScriptedReply hang;
  hang.neverAnswer = true;
  server_->setReply(hang);
  const Outcome outcome = send();
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(server_->requests().size(), 1u);
  EXPECT_EQ(log(), std::nullopt);
}

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A server whose connection queue is full never completes the handshake; the connect
// limit ends the wait long before the reply limit could.
TEST_F(SendRequestTest, AConnectionThatIsNeverAcceptedEndsAtTheConnectLimit) {
  setHttpTimeouts({milliseconds(300), std::chrono::seconds(20)});
  test::UnansweredPort port;
  const auto start = Clock::now();
  const Outcome outcome = sendTo(u"http://127.0.0.1:" + ascii(std::to_string(port.port())));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(log(), std::nullopt);
}

// The head at once, then the body a byte at a time: each byte comes well within any
// silence limit, and still the whole reply is bounded.
TEST_F(SendRequestTest, ADripPastTheReplyLimitEndsTheExchange) {
  setHttpTimeouts({std::chrono::seconds(5), milliseconds(800)});
  const std::string body = R"({"success":true,"data":")" + std::string(40, 'x') + "\"}";
  test::RawServer drip([&body](test::RawConnection& connection) {
    connection.readRequest();
    const std::string reply = test::httpReply(200, "application/json", body);
    const std::size_t head = reply.size() - body.size();
    connection.send(std::string_view(reply).substr(0, head)) &&
        connection.drip(std::string_view(reply).substr(head), milliseconds(100));
  });
  const auto start = Clock::now();
  const Outcome outcome = sendTo(ascii(drip.baseUrl()));
  EXPECT_LT(Clock::now() - start, milliseconds(body.size() * 100));
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(drip.requests().size(), 1u);
  EXPECT_EQ(log(), std::nullopt);
}

// The head at once, then one byte every 100 ms for a small reply, with the limits the
// kiosk runs with.
TEST_F(SendRequestTest, ASlowButSteadyReplySucceeds) {
  test::RawServer slower([](test::RawConnection& connection) {
    connection.readRequest();
    const std::string reply = test::httpReply(200, "", R"({"success":true,"data":[2]})");
    const std::size_t head = reply.find("\r\n\r\n") + 4;
    connection.send(std::string_view(reply).substr(0, head)) &&
        connection.drip(std::string_view(reply).substr(head), milliseconds(100));
  });
  const Outcome body = sendTo(ascii(slower.baseUrl()));
  EXPECT_TRUE(body.result);
  EXPECT_EQ(body.reply, u"[2]");
  EXPECT_EQ(log(), std::nullopt);
}

// Redirects do not start the reply limit again.
TEST_F(SendRequestTest, TheReplyLimitCoversTheWholeRedirectChain) {
  setHttpTimeouts({std::chrono::seconds(5), milliseconds(1000)});
  test::RawServer hops([](test::RawConnection& connection) {
    connection.readRequest();
    connection.pause(milliseconds(400)) &&
        connection.send(
            "HTTP/1.1 307 Again\r\nLocation: /again\r\nContent-Length: 0\r\n"
            "Connection: close\r\n\r\n");
  });
  const Outcome outcome = sendTo(ascii(hops.baseUrl()));
  EXPECT_FALSE(outcome.result);
  EXPECT_LE(hops.requests().size(), 4u);
  EXPECT_EQ(log(), std::nullopt);
}

// Replies that break off or are no HTTP at all: a failed exchange, never an error.
struct BrokenReplyCase {
  std::string name;
  test::RawServer::Script script;
};
void PrintTo(const BrokenReplyCase& c, std::ostream* os) {
  *os << c.name;
}

class BrokenReply : public SendRequestTest, public testing::WithParamInterface<BrokenReplyCase> {};

TEST_P(BrokenReply, IsNoAnswerAndIsNotLogged) {
  test::RawServer broken(GetParam().script);
  const Outcome outcome = sendTo(ascii(broken.baseUrl()));
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(broken.requests().size(), 1u);
  EXPECT_EQ(log(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenReply,
    testing::Values(
        BrokenReplyCase{"ContentLengthLargerThanTheBodyThenClose",
                        [](test::RawConnection& c) {
                          c.readRequest();
                          c.send(
                              "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                              "Content-Length: 500\r\n\r\n{\"success\":true,\"data\":[1]}");
                        }},
        BrokenReplyCase{"NotHttp",
                        [](test::RawConnection& c) {
                          c.readRequest();
                          c.send("SSH-2.0-OpenSSH_9.2\r\nProtocol mismatch.\r\n");
                        }},
        BrokenReplyCase{"ResetInTheMiddleOfTheBody",
                        [](test::RawConnection& c) {
                          c.readRequest();
                          const std::string reply = test::httpReply(
                              200, "application/json", R"({"success":true,"data":[1,2,3,4]})");
                          c.send(std::string_view(reply).substr(0, reply.size() - 10));
                          c.pause(milliseconds(50));
                          c.reset();
                        }},
        BrokenReplyCase{"ClosedWithoutAWord", [](test::RawConnection& c) { c.readRequest(); }}),
    [](const testing::TestParamInfo<BrokenReplyCase>& param) { return param.param.name; });

TEST_F(SendRequestTest, AReplyBodyUpToTheCapIsRead) {
  // Blanks around a JSON text are well-formed; this one has no "success".
  server_->setReply(json(200, std::string(kCap - 2, ' ') + "{}"));
  const Outcome outcome = send();
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(log(), std::nullopt);
}

TEST_F(SendRequestTest, AReplyBodyOverTheCapIsAnError) {
  server_->setReply(json(200, std::string(kCap - 1, ' ') + "{}"));
  const Outcome outcome = send();
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.reply, u"");
  EXPECT_EQ(log(), logLine("reply body larger than 16777216 bytes"));
}

// The library's error holds the whole text; the log keeps its start, exact, and says how
// much it left out.
TEST_F(SendRequestTest, AHugeRefusedReplyWritesOneCutLine) {
  std::string array = "[1";
  while (array.size() < 15 * 1000 * 1000) array += ",1";
  array += "]";
  server_->setReply(json(200, array));
  EXPECT_FALSE(send().result);
  const std::string message = "<TJsonObject>\"\" parse error: " + array;
  const std::size_t kept = kLogMessageLimit - (std::string(kPrefix).size());
  EXPECT_EQ(log(), kStamp + std::string(kPrefix) + message.substr(0, kept) + " [... " +
                       std::to_string(message.size() - kept) + " caracteres omitidos]\r\n");
}

TEST_F(SendRequestTest, AnEndlessReplyBodyStopsAtTheCap) {
  ScriptedReply endless = json(200, "");
  endless.endlessBody = true;
  server_->setReply(endless);
  const Outcome outcome = send();
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(log(), logLine("reply body larger than 16777216 bytes"));
}

TEST_F(SendRequestTest, AnEndlessBodyWithARefusedStatusIsNoAnswer) {
  ScriptedReply endless = json(500, "");
  endless.endlessBody = true;
  server_->setReply(endless);
  const Outcome outcome = send();
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(log(), std::nullopt);
}

// A file where the log folder should be: the log's own error leaves SendRequest.
TEST_F(SendRequestTest, AnErrorOfTheLogLeavesSendRequest) {
  std::ofstream(dir_ / "Log") << "x";
  server_->setReply(json(204, ""));
  std::u16string reply = u"sobra";
  try {
    SendRequest(reply, u"/app/buscaProduto", baseUrl(), u"quorvel", u"{}");
    ADD_FAILURE() << "no error left SendRequest";
  } catch (const InputOutputError& error) {
    EXPECT_EQ(std::string(error.what()), "Not a directory");
  }
  EXPECT_EQ(reply, u"");
}

}  // namespace
}  // namespace varnok
