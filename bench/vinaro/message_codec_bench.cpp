#include <benchmark/benchmark.h>

#include "protocol/message_codec.h"
#include "protocol/sample_body.h"

namespace vinaro {
namespace {

using test::SampleBody;

/// A command envelope of about one kilobyte, as a phone sends it.
Envelope<SampleBody> kilobyteEnvelope() {
  SampleBody::Note note{.text = "Could you play something from the eighties next? Thanks!",
                      .sentAt = Date{1717171717171.5},
                      .link = "https://music.example/album/1440857781?i=1440857786"};
  while (MessageCodec::encode(Envelope<SampleBody>{.id = "9F1C2B7E-3D4A-4F5B-8C6D-7E8F9A0B1C2D", .body = SampleBody::note(note)})
             .size() < 1024) {
    note.tags.push_back("tag-" + std::to_string(note.tags.size()) + "-é/ü");
  }
  return {.id = "9F1C2B7E-3D4A-4F5B-8C6D-7E8F9A0B1C2D", .replyTo = "0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9",
          .body = SampleBody::note(std::move(note))};
}

void BM_DecodeCommandEnvelope(benchmark::State& state) {
  const std::string bytes = MessageCodec::encode(kilobyteEnvelope());
  for (auto _ : state) {
    auto envelope = MessageCodec::decode<SampleBody>(bytes);
    benchmark::DoNotOptimize(envelope);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
  state.counters["message_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_DecodeCommandEnvelope);

void BM_EncodeCommandEnvelope(benchmark::State& state) {
  const auto envelope = kilobyteEnvelope();
  std::size_t size = 0;
  for (auto _ : state) {
    auto bytes = MessageCodec::encode(envelope);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_EncodeCommandEnvelope);

}  // namespace
}  // namespace vinaro
