// FFmpeg's I/O over our Stream: an AVIOContext that reads (and seeks in) a range stream, a memory
// stream or a host file, so that libavformat never needs a real path. Only media/ffmpeg/ includes
// this (it names FFmpeg types).
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <string>

namespace orin {

class Stream;

// A read-only context over stream (not owned; it must outlive the context), or null when out of
// memory. Reads end at the stream's end; AVSEEK_SIZE answers the stream's size.
AVIOContext* OpenStreamIo(Stream* stream);
// Frees the context and its buffer; io becomes null.
void CloseStreamIo(AVIOContext*& io);
// FFmpeg's text for an error code.
std::string AvError(int code);

}  // namespace orin
