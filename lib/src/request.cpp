#include "varnok/request.h"

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "standard_json.h"
#include "varnok/json.h"
#include "varnok/log.h"
#include "varnok/utf.h"

namespace varnok {
namespace {

// A reply body beyond this size ends the exchange as an error instead of growing
// without bound; a product lookup answers with a few kilobytes.
constexpr std::size_t kMaxReplyBytes = std::size_t{16} * 1024 * 1024;
constexpr long kMaxRedirects = 10;

HttpTimeouts& httpTimeouts() noexcept {
  static HttpTimeouts timeouts;
  return timeouts;
}

struct CurlEasyCleanup {
  void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlListFree {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListFree>;

void appendHeader(CurlList& list, const std::string& header) {
  curl_slist* head = curl_slist_append(list.get(), header.c_str());
  if (head == nullptr) {
    throw std::bad_alloc();
  }
  (void)list.release();
  list.reset(head);
}

template <typename Value>
void setOption(CURL* handle, CURLoption option, Value value) {
  const CURLcode code = curl_easy_setopt(handle, option, value);
  if (code != CURLE_OK) {
    throw std::runtime_error(curl_easy_strerror(code));
  }
}

// libcurl's global set-up is not thread-safe; doing it once, before the first handle,
// keeps curl_easy_init from doing it behind our back.
void initialiseCurlOnce() {
  static const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (code != CURLE_OK) {
    throw std::runtime_error(curl_easy_strerror(code));
  }
}

// The outcome of one exchange. A failed exchange is a value: status 0 and the
// transport error, never an exception.
struct HttpResult {
  long status = 0;
  CURLcode transportError = CURLE_OK;
  std::string contentType;
  std::string body;
  bool bodyTooLarge = false;
};

struct Transfer {
  HttpResult* result;
  // When the first request went out; the reply limit counts from there, across
  // redirects, to the last byte of the body.
  std::optional<std::chrono::steady_clock::time_point> requestSent;
};

size_t collectBody(char* data, size_t size, size_t count, void* userData) {
  auto* transfer = static_cast<Transfer*>(userData);
  const std::size_t bytes = size * count;
  std::string& body = transfer->result->body;
  if (bytes > kMaxReplyBytes - body.size()) {
    transfer->result->bodyTooLarge = true;
    return 0;  // aborts the transfer
  }
  body.append(data, bytes);
  return bytes;
}

// Called once a connection stands, right before each request of the exchange is sent.
int noteRequestSent(void* userData, char*, char*, int, int) {
  auto* transfer = static_cast<Transfer*>(userData);
  if (!transfer->requestSent) {
    transfer->requestSent = std::chrono::steady_clock::now();
  }
  return CURL_PREREQFUNC_OK;
}

// Ends the exchange once the reply has taken longer than its limit, however steadily
// the server trickles it: a byte now and then must not hold the kiosk for ever.
int watchReplyTime(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* transfer = static_cast<const Transfer*>(userData);
  if (!transfer->requestSent) {
    return 0;
  }
  return std::chrono::steady_clock::now() - *transfer->requestSent > httpTimeouts().reply ? 1 : 0;
}

HttpResult postJson(const std::string& url, const std::string& authorization,
                    const std::string& body) {
  initialiseCurlOnce();
  CurlEasy handle(curl_easy_init());
  if (!handle) {
    throw std::runtime_error("HTTP client could not be created");
  }
  CURL* h = handle.get();

  CurlList headers;
  appendHeader(headers, "Content-Type: application/json");
  appendHeader(headers, "Authorization: " + authorization);
  appendHeader(headers, "Expect:");  // no 100-continue round trip before the body

  HttpResult result;
  Transfer transfer{&result, std::nullopt};
  const HttpTimeouts limits = httpTimeouts();

  setOption(h, CURLOPT_URL, url.c_str());
  // The path goes on the wire exactly as joined: "//app/buscaProduto" keeps its double
  // slash, and dot segments in a resource are not resolved away either.
  setOption(h, CURLOPT_PATH_AS_IS, 1L);
  setOption(h, CURLOPT_PROTOCOLS_STR, "http,https");
  setOption(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  setOption(h, CURLOPT_FOLLOWLOCATION, 1L);
  setOption(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  // The settings file is the kiosk's only configuration: no proxy from the environment.
  setOption(h, CURLOPT_PROXY, "");
  setOption(h, CURLOPT_NOSIGNAL, 1L);
  // Each connection gets the connect limit; the reply limit runs from the first request
  // sent. The client's own overall limit is both together, a backstop that also fires
  // between the checks of the progress callback, which runs about once a second.
  setOption(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
  setOption(h, CURLOPT_TIMEOUT_MS, static_cast<long>((limits.connect + limits.reply).count()));
  setOption(h, CURLOPT_PREREQFUNCTION, &noteRequestSent);
  setOption(h, CURLOPT_PREREQDATA, &transfer);
  setOption(h, CURLOPT_NOPROGRESS, 0L);
  setOption(h, CURLOPT_XFERINFOFUNCTION, &watchReplyTime);
  setOption(h, CURLOPT_XFERINFODATA, &transfer);
  setOption(h, CURLOPT_HTTPHEADER, headers.get());
  setOption(h, CURLOPT_POST, 1L);
  setOption(h, CURLOPT_POSTFIELDS, body.data());
  setOption(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  setOption(h, CURLOPT_WRITEFUNCTION, &collectBody);
  setOption(h, CURLOPT_WRITEDATA, &transfer);

  result.transportError = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
  const char* contentType = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK &&
      contentType != nullptr) {
    result.contentType = contentType;
  }
  // An exchange that broke off has no answer, whatever status line came first; only
  // our own stop for an oversized body keeps its status.
  if (result.transportError != CURLE_OK && !result.bodyTooLarge) {
    result.status = 0;
    result.body.clear();
  }
  return result;
}

bool isAcceptedStatus(long status) {
  return status >= 200 && status <= 205;
}

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// Text is text/*, JSON, XML or JavaScript; a reply without a content type is taken as
// text too. Anything else (images, application/octet-stream) has no text to read.
bool isTextContent(const std::string& contentType) {
  const std::string type = lowerAscii(contentType.substr(0, contentType.find(';')));
  const auto endsWith = [&type](std::string_view tail) {
    return type.size() >= tail.size() &&
           type.compare(type.size() - tail.size(), tail.size(), tail) == 0;
  };
  return type.find_first_not_of(" \t") == std::string::npos || type.rfind("text/", 0) == 0 ||
         endsWith("/json") || endsWith("+json") || endsWith("/xml") || endsWith("+xml") ||
         endsWith("/javascript");
}

// The reply body as text for the envelope: read as UTF-8 whatever the charset label
// says (each ill-formed sequence, a Latin-1 "\xE3" for instance, becomes U+FFFD), then
// checked as standard JSON (RFC 8259) and written back compactly; the lenient document
// reader sees only that text, so a byte-order mark is gone and a repeated member name
// has been settled the standard way.
// The raw body is released as soon as it has been read, before the document reader
// builds its tree, so that the largest reply does not stay in memory three times over.
std::u16string replyText(HttpResult& result) {
  if (result.bodyTooLarge) {
    throw std::runtime_error("reply body larger than " + std::to_string(kMaxReplyBytes) + " bytes");
  }
  if (!isTextContent(result.contentType) || result.body.empty()) {
    throw std::runtime_error("empty reply body");
  }
  std::u16string text = varnok::json::FromUtf8(result.body);
  std::string().swap(result.body);
  try {
    return detail::rewriteStandardJson(std::move(text));
  } catch (const detail::MalformedJson& error) {
    throw std::runtime_error(std::string("reply body is not well-formed JSON: ") + error.what());
  }
}

bool unwrapEnvelope(std::u16string& reply, std::u16string_view text) {
  varnok::json::TJsonObject envelope;
  envelope.Parse(text);
  if (envelope.Values(u"success").AsBoolean()) {
    std::u16string data = envelope.Values(u"data").Stringify();
    if (data == u"null") {
      return false;
    }
    reply = std::move(data);
    return true;
  }
  reply = envelope.Values(u"message").AsString();
  return false;
}

bool exchange(std::u16string& reply, std::u16string_view resource, std::u16string_view baseUrl,
              std::u16string_view store, std::u16string_view body) {
  std::u16string url(baseUrl);
  url += u'/';
  url += resource;
  HttpResult result =
      postJson(varnok::json::ToUtf8(url),
               varnok::json::ToUtf8(authorizationHeader(store, resource, localNow())),
               varnok::json::ToUtf8(body));
  if (!isAcceptedStatus(result.status)) {
    return false;
  }
  return unwrapEnvelope(reply, replyText(result));
}

}  // namespace

void setHttpTimeouts(const HttpTimeouts& timeouts) noexcept {
  httpTimeouts() = timeouts;
}

bool SendRequest(std::u16string& reply, std::u16string_view resource, std::u16string_view baseUrl,
                 std::u16string_view store, std::u16string_view body) {
  reply.clear();
  std::u16string message;
  try {
    return exchange(reply, resource, baseUrl, store, body);
  } catch (const varnok::json::JsonError& error) {
    message = error.message();
  } catch (const std::exception& error) {
    message = varnok::json::FromUtf8(error.what());
  } catch (...) {
    message = u"unknown error";
  }
  reply.clear();
  // An error of the log itself leaves SendRequest.
  LogError(u"Erro ao Enviar Solicitação - " + message);
  return false;
}

}  // namespace varnok
