// MPEG audio frame headers, as far as telling the audio that follows a run of zeros from other
// bytes needs them: whether four bytes begin a frame, and how long that frame is.
#pragma once

#include <cstdint>

#include "platform.h"

namespace removal {

inline constexpr DWORD kFrameHeaderSize = 4;

struct AudioFrame {
  // The header's version, layer and sample rate bits, which the frames of one stream share.
  BYTE version;
  BYTE layer;
  BYTE sampleRate;
  int64_t length;  // the whole frame, header included
};

// True when the bytes begin a frame of MPEG-1, 2 or 2.5 audio, Layer I, II or III, at a
// bitrate the tables list (not free format), filling *frame.
bool ParseFrameHeader(const BYTE bytes[kFrameHeaderSize], AudioFrame* frame);

// True when a frame of the same stream as first begins at bytes.
bool ContinuesStream(const AudioFrame& first, const BYTE bytes[kFrameHeaderSize]);

}  // namespace removal
