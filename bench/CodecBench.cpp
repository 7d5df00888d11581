// The JSON codec and the base64 forms side by side with peer libraries, in
// one run: the writer against RapidJSON's Writer, the reader against
// nlohmann/json, RapidJSON's DOM and simdjson; base64 against OpenSSL's
// EVP block functions and GLib. Inputs are generated here: an ad request
// parameter dictionary (~1.5 KB) and a ~4 MB document with escapes and
// non-ASCII text.
#include <benchmark/benchmark.h>
#include <glib.h>
#include <openssl/evp.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <nlohmann/json.hpp>
#include <random>

#include "ads/codec/GAD_TamskJSON.h"
#include "ads/codec/GTMStringEncoding.h"

using platform::Dictionary;
using platform::Value;

namespace {

Value parameterDictionary() {
  return Value(Dictionary{
      {"ios_metadata", Dictionary{}},
      {"app_name", "1.0.iphone.com.blorvik.soundboard"},
      {"isu", "0F6A3C1D2E4B59687A8B9C0D1E2F3A4B"},
      {"platform", "Linux"},
      {"submodel", "x86_64"},
      {"hl", "en-gb"},
      {"u_audio", "1"},
      {"u_so", "p"},
      {"u_sd", "1"},
      {"u_w", "320"},
      {"u_h", "480"},
      {"js", "zovo-sdk-i-v4.1.0"},
      {"net", "wi"},
      {"extras", Dictionary{{"color_bg", "FFFFFF"}, {"color_text", "000000"}, {"note", "line\nbreak \"quoted\""}}},
      {"cust_gender", "f"},
      {"cust_age", "19850412"},
      {"kw", Value::Array{"comedy", "sound board", "fun", "caf\xc3\xa9"}},
      {"uule", "e1+CAEQASIMMTAuMTIzNDU2Nzg5OCgAMgxiYXNlNjQgc3R1ZmY6BWVuLWdiQAFIAVABWAFgAWgBcAF4AYABAYgBAZABAZgBAaABAaoBBGFiY2Q"},
      {"prl", "231"},
      {"pcl", "1780"},
      {"ppcl", "95"},
      {"pcrl", "412"},
      {"plpl", "1300"},
      {"plpd", "45210"},
      {"ptime", "600321"},
      {"pai", "CjYKFAjM3N3J7Zb2AhUFg4MKHa3BBsQSFgoMCgVzdHVmZhIDYWJjEgZjbGlja3MaAQE"},
      {"pit", "ticket-8f1e2d3c4b5a69788796a5b4c3d2e1f0"},
      {"pcbo", 1},
      {"pclb", 1},
      {"plpnc", 3},
      {"plpsnc", 1},
      {"pcc", 7},
      {"preqs", 42},
      {"slotname", "a1b2c3d4e5f6071"},
      {"ad_frame", Dictionary{{"x", 0.0}, {"y", 410.0}, {"w", 320.0}, {"h", 50.0}}},
  });
}

// About 4 MB: records with escapes, accented and emoji text, numbers, nesting.
Value largeDocument() {
  std::mt19937 random(42);
  const char* words[] = {"sound", "caf\xc3\xa9", "\xe2\x82\xac" "5", "\xf0\x9f\x98\x80", "tab\there", "quote\"d",
                         "line\nbreak", "back\\slash", "plain", "ad"};
  Value::Array records;
  size_t approximate = 0;
  for (int i = 0; approximate < 4 * 1024 * 1024; ++i) {
    std::string text;
    for (int w = 0; w < 12; ++w) {
      text += words[random() % 10];
      text += ' ';
    }
    approximate += text.size() + 120;
    records.push_back(Value(Dictionary{{"id", i},
                                       {"title", text},
                                       {"score", static_cast<double>(random() % 100000) / 100.0},
                                       {"active", (i % 3) == 0},
                                       {"tags", Value::Array{"a", "b\xc3\xbc", "c"}},
                                       {"meta", Dictionary{{"n", Value()}, {"k", "v"}}}}));
  }
  return Value(Dictionary{{"records", std::move(records)}});
}

struct Inputs {
  Value smallValue = parameterDictionary();
  Value largeValue = largeDocument();
  std::string smallText, largeText;
  rapidjson::Document smallDoc, largeDoc;
  Inputs() {
    GAD_TamskJSON writer;
    smallText = *writer.stringWithObject(smallValue);
    largeText = *writer.stringWithObject(largeValue);
    smallDoc.Parse(smallText.c_str(), smallText.size());
    largeDoc.Parse(largeText.c_str(), largeText.size());
  }
};

Inputs& inputs() {
  static Inputs in;
  return in;
}

const Value& valueFor(int which) { return which == 0 ? inputs().smallValue : inputs().largeValue; }
const std::string& textFor(int which) { return which == 0 ? inputs().smallText : inputs().largeText; }
rapidjson::Document& docFor(int which) { return which == 0 ? inputs().smallDoc : inputs().largeDoc; }
void label(benchmark::State& state, int which) {
  state.SetLabel(which == 0 ? "params ~1.5KB" : "document ~4MB");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(textFor(which).size()));
}

void BM_Write_Ours(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  GAD_TamskJSON writer;
  for (auto _ : state) benchmark::DoNotOptimize(writer.stringWithObject(valueFor(which)));
  label(state, which);
}
void BM_Write_RapidJSON(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    docFor(which).Accept(writer);
    benchmark::DoNotOptimize(buffer.GetString());
  }
  label(state, which);
}
void BM_Read_Ours(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  GAD_TamskJSON reader;
  for (auto _ : state) benchmark::DoNotOptimize(reader.objectWithString(textFor(which)));
  label(state, which);
}
void BM_Read_Nlohmann(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(textFor(which)));
  label(state, which);
}
void BM_Read_RapidJSON_DOM(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  for (auto _ : state) {
    rapidjson::Document doc;
    doc.Parse(textFor(which).c_str(), textFor(which).size());
    benchmark::DoNotOptimize(doc.HasParseError());
  }
  label(state, which);
}
void BM_Read_Simdjson_DOM(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  simdjson::dom::parser parser;
  const simdjson::padded_string padded(textFor(which));
  for (auto _ : state) {
    auto element = parser.parse(padded);
    benchmark::DoNotOptimize(element.error());
  }
  label(state, which);
}
BENCHMARK(BM_Write_Ours)->Arg(0)->Arg(1);
BENCHMARK(BM_Write_RapidJSON)->Arg(0)->Arg(1);
BENCHMARK(BM_Read_Ours)->Arg(0)->Arg(1);
BENCHMARK(BM_Read_Nlohmann)->Arg(0)->Arg(1);
BENCHMARK(BM_Read_RapidJSON_DOM)->Arg(0)->Arg(1);
BENCHMARK(BM_Read_Simdjson_DOM)->Arg(0)->Arg(1);

// ---------------------------------------------------------------- base64

std::vector<std::uint8_t> randomBytes(size_t size) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

void BM_Base64Encode_Ours(benchmark::State& state) {
  const auto data = randomBytes(static_cast<size_t>(state.range(0)));
  const auto encoding = GTMStringEncoding::rfc4648Base64StringEncoding();
  for (auto _ : state) benchmark::DoNotOptimize(encoding.encode(data));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
void BM_Base64Encode_OpenSSL(benchmark::State& state) {
  const auto data = randomBytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
void BM_Base64Encode_GLib(benchmark::State& state) {
  const auto data = randomBytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    gchar* out = g_base64_encode(data.data(), data.size());
    benchmark::DoNotOptimize(out);
    g_free(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
void BM_Base64Decode_Ours(benchmark::State& state) {
  const auto encoding = GTMStringEncoding::rfc4648Base64StringEncoding();
  const std::string text = encoding.encode(randomBytes(static_cast<size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(encoding.decode(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
void BM_Base64Decode_OpenSSL(benchmark::State& state) {
  const std::string text = GTMStringEncoding::rfc4648Base64StringEncoding().encode(randomBytes(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    std::vector<std::uint8_t> out(text.size() / 4 * 3 + 3);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
void BM_Base64Decode_GLib(benchmark::State& state) {
  const std::string text = GTMStringEncoding::rfc4648Base64StringEncoding().encode(randomBytes(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    gsize length = 0;
    guchar* out = g_base64_decode(text.c_str(), &length);
    benchmark::DoNotOptimize(out);
    g_free(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Base64Encode_Ours)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_Base64Encode_OpenSSL)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_Base64Encode_GLib)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_Base64Decode_Ours)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_Base64Decode_OpenSSL)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_Base64Decode_GLib)->Arg(1024)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
