// The JSON library against nlohmann::json and RapidJSON (DOM and Writer) on the same
// UTF-8 bytes:
//   (a) a one-product reply envelope, as the server client reads it;
//   (b) a 10,000-product reply of about 2 MB, as the lookup reads its data;
//   (c) an array nested to the library's depth limit;
// parse (our side includes FromUtf8, as the kiosk reads a reply) and stringify (our
// Stringify alone, and with ToUtf8 as the server client sends a body). Rates are in bytes of the
// source document per second. The Products benchmark parses 1,000 to 100,000 products to show that
// parse time grows linearly with the size of the reply.
//
//   varnok-bench --benchmark_filter=Json
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <nlohmann/json.hpp>
#include <string>

#include "varnok/json.h"
#include "varnok/utf.h"

namespace {

using varnok::json::FromUtf8;
using varnok::json::TJsonArray;
using varnok::json::TJsonObject;
using varnok::json::TJsonValue;
using varnok::json::ToUtf8;

// One product as the store server sends it: about 200 bytes, some non-ASCII text.
std::string Product(int index) {
  static const char* const kNames[] = {"ARROZ TIPO 1 5KG",
                                       "CAF\xC3\x89 TORRADO E MO\xC3\x8D"
                                       "DO 500G",
                                       "P\xC3\x83O FRANC\xC3\x8AS KG", "LEITE INTEGRAL 1L",
                                       "A\xC3\x87\xC3\x9A"
                                       "CAR REFINADO 1KG"};
  const std::string id = std::to_string(100000 + index);
  return "{\"id\":" + id + ",\"codigo\":\"78910" + std::to_string(10000000 + index) +
         "\",\"nome\":\"" + kNames[index % 5] + "\",\"preco_venda\":" + std::to_string(index % 97) +
         "." + std::to_string(10 + index % 90) +
         ",\"unidade\":\"UN\",\"estoque\":" + std::to_string(index % 1000) +
         ".125,\"ativo\":true,\"categoria\":\"MERCEARIA\",\"promocao\":null,"
         "\"atualizado_em\":\"2026-12-11T08:00:00\"}";
}

std::string Products(int count) {
  std::string text = "[";
  for (int i = 0; i < count; ++i) {
    if (i > 0) text += ',';
    text += Product(i);
  }
  return text + "]";
}

std::string Envelope(int products) {
  return "{\"success\":true,\"data\":" + Products(products) + ",\"message\":\"\"}";
}

std::string Nested(int depth) {
  return std::string(static_cast<std::size_t>(depth), '[') + "1" +
         std::string(static_cast<std::size_t>(depth), ']');
}

const std::string& Document(int which) {
  static const std::string documents[] = {Envelope(1), Products(10000),
                                          Nested(varnok::json::kMaxNestingDepth)};
  return documents[which];
}

void SetLabel(benchmark::State& state, int which) {
  static const char* const kLabels[] = {"one-product envelope", "10,000 products", "nested"};
  state.SetLabel(kLabels[which]);
}

void JsonParseVarnok(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string& bytes = Document(which);
  for (auto _ : state) {
    TJsonValue root;
    root.Parse(FromUtf8(bytes));
    benchmark::DoNotOptimize(root.ValueType());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  SetLabel(state, which);
}

void JsonParseNlohmann(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string& bytes = Document(which);
  for (auto _ : state) {
    nlohmann::json root = nlohmann::json::parse(bytes);
    benchmark::DoNotOptimize(root.type());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  SetLabel(state, which);
}

void JsonParseRapidJson(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string& bytes = Document(which);
  for (auto _ : state) {
    rapidjson::Document root;
    root.Parse(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(root.GetType());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  SetLabel(state, which);
}

void JsonStringifyVarnok(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string& bytes = Document(which);
  TJsonValue root;
  root.Parse(FromUtf8(bytes));
  for (auto _ : state) {
    std::u16string text = root.Stringify();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  SetLabel(state, which);
}

// Stringify and the UTF-8 text that goes on the wire, as the server client sends it.
void JsonStringifyVarnokToUtf8(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string& bytes = Document(which);
  TJsonValue root;
  root.Parse(FromUtf8(bytes));
  for (auto _ : state) {
    std::string text = ToUtf8(root.Stringify());
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  SetLabel(state, which);
}

void JsonStringifyNlohmann(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string& bytes = Document(which);
  const nlohmann::json root = nlohmann::json::parse(bytes);
  for (auto _ : state) {
    std::string text = root.dump();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  SetLabel(state, which);
}

// RapidJSON's Writer from its DOM into a std::string, the UTF-8 text that would go on
// the wire.
void JsonStringifyRapidJson(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const std::string& bytes = Document(which);
  rapidjson::Document root;
  root.Parse(bytes.data(), bytes.size());
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    root.Accept(writer);
    std::string text(buffer.GetString(), buffer.GetSize());
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  SetLabel(state, which);
}

// Parse time over reply size: the fitted curve and its RMS show whether it is linear.
void JsonParseProducts(benchmark::State& state) {
  const std::string bytes = Products(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TJsonArray root;
    root.Parse(FromUtf8(bytes));
    benchmark::DoNotOptimize(root.Count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.SetComplexityN(state.range(0));
}

BENCHMARK(JsonParseVarnok)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(JsonParseNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(JsonParseRapidJson)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(JsonStringifyVarnok)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(JsonStringifyVarnokToUtf8)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(JsonStringifyNlohmann)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(JsonStringifyRapidJson)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(JsonParseProducts)
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
