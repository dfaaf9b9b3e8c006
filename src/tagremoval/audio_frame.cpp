#include "tagremoval/audio_frame.h"

namespace removal {
namespace {

// The header's fields: 11 sync bits, then version (2), layer (2), protection (1); bitrate
// index (4), sample rate index (2), padding (1), private (1); the rest is not needed here.
constexpr BYTE kSyncHigh = 0xFF;
constexpr BYTE kSyncLow = 0xE0;
constexpr BYTE kVersionMpeg25 = 0, kVersionReserved = 1, kVersionMpeg1 = 3;
constexpr BYTE kLayerReserved = 0, kLayer3 = 1, kLayer1 = 3;  // Layer II is 2
constexpr BYTE kFreeFormat = 0, kBadBitrate = 15, kReservedRate = 3;

// Kilobits per second by bitrate index 1 to 14.
constexpr int kBitratesMpeg1[3][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // Layer I
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // Layer II
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // Layer III
};
constexpr int kBitratesMpeg2[2][14] = {
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // Layer I
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // Layers II and III
};
// Hertz by sample rate index, for MPEG-1; MPEG-2 halves them and MPEG-2.5 quarters them.
constexpr int kRatesMpeg1[3] = {44100, 48000, 32000};
constexpr int kBitsPerKilobit = 1000;

int Bitrate(BYTE version, BYTE layer, BYTE index) {
  int column = index - 1;
  if (version == kVersionMpeg1) return kBitratesMpeg1[kLayer1 - layer][column];
  return kBitratesMpeg2[layer == kLayer1 ? 0 : 1][column];
}

int SampleRate(BYTE version, BYTE index) {
  constexpr int kMpeg2Divisor = 2, kMpeg25Divisor = 4;
  if (version == kVersionMpeg1) return kRatesMpeg1[index];
  return kRatesMpeg1[index] / (version == kVersionMpeg25 ? kMpeg25Divisor : kMpeg2Divisor);
}

// The standard's lengths, from the samples a frame holds: a frame lasts samples / rate
// seconds, so it holds samples / rate · bitrate bits, that is samples / 8 · bitrate / rate
// bytes, rounded down; Layer I counts in slots of 4 bytes (its padding is one slot). Layer II
// and MPEG-1 Layer III hold 1152 samples.
constexpr int kBitsPerByte = 8, kLayer1SlotBytes = 4;
constexpr int kLayer1Samples = 384, kLayer2Samples = 1152, kMpeg2Layer3Samples = 576;

int64_t FrameLength(BYTE version, BYTE layer, int bitrate, int rate, int padding) {
  if (layer == kLayer1) {
    constexpr int kSlotsFactor = kLayer1Samples / kBitsPerByte / kLayer1SlotBytes;  // 12
    return (kSlotsFactor * static_cast<int64_t>(bitrate) / rate + padding) * kLayer1SlotBytes;
  }
  int samples = layer == kLayer3 && version != kVersionMpeg1 ? kMpeg2Layer3Samples : kLayer2Samples;
  return samples / kBitsPerByte * static_cast<int64_t>(bitrate) / rate + padding;
}

}  // namespace

bool ParseFrameHeader(const BYTE bytes[kFrameHeaderSize], AudioFrame* frame) {
  if (bytes[0] != kSyncHigh || (bytes[1] & kSyncLow) != kSyncLow) return false;
  BYTE version = bytes[1] >> 3 & 3;
  BYTE layer = bytes[1] >> 1 & 3;
  BYTE bitrateIndex = bytes[2] >> 4;
  BYTE rateIndex = bytes[2] >> 2 & 3;
  if (version == kVersionReserved || layer == kLayerReserved || bitrateIndex == kFreeFormat ||
      bitrateIndex == kBadBitrate || rateIndex == kReservedRate) {
    return false;
  }
  int bitrate = Bitrate(version, layer, bitrateIndex) * kBitsPerKilobit;
  frame->version = version;
  frame->layer = layer;
  frame->sampleRate = rateIndex;
  frame->length =
      FrameLength(version, layer, bitrate, SampleRate(version, rateIndex), bytes[2] >> 1 & 1);
  return true;
}

bool ContinuesStream(const AudioFrame& first, const BYTE bytes[kFrameHeaderSize]) {
  AudioFrame next;
  return ParseFrameHeader(bytes, &next) && next.version == first.version &&
         next.layer == first.layer && next.sampleRate == first.sampleRate;
}

}  // namespace removal
