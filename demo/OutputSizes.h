// Sizes of the output buffers the pages hand to the library. Where the
// library's header states how much it may write, the buffer is at least
// that large, so nothing the library writes can fall outside it.
#ifndef OUTPUTSIZES_H
#define OUTPUTSIZES_H

#include "tlxdev.h"

#include <cstddef>

constexpr std::size_t AtLeast(std::size_t wanted, std::size_t promised) {
  return wanted > promised ? wanted : promised;
}

#ifdef TLX_VERSION_SIZE
constexpr std::size_t kVersionSize = AtLeast(128, TLX_VERSION_SIZE);
#else
constexpr std::size_t kVersionSize = 128;
#endif

#ifdef TLX_MODEL_SIZE
constexpr std::size_t kModelSize = AtLeast(8, TLX_MODEL_SIZE);
#else
constexpr std::size_t kModelSize = 8;
#endif

#ifdef TLX_FILE_INFO_SIZE
constexpr std::size_t kFileInfoSize = AtLeast(512, TLX_FILE_INFO_SIZE);
#else
constexpr std::size_t kFileInfoSize = 512;
#endif

// The file list call carries its size; the library refuses longer lists.
constexpr std::size_t kFileListSize = 512;

// Plain PIN: bounded by the size argument.
constexpr std::size_t kPinSize = 64;

// Encrypted PIN block: up to 1024 hexadecimal characters and no terminator,
// plus one byte that stays zero.
#ifdef TLX_PIN_BLOCK_SIZE
constexpr std::size_t kPinBlockSize = AtLeast(1025, TLX_PIN_BLOCK_SIZE + 1);
#else
constexpr std::size_t kPinBlockSize = 1025;
#endif

// Number pad input: the library writes at most 63 characters.
#ifdef TLX_KEYPAD_INPUT_SIZE
constexpr std::size_t kKeyboardInputSize = AtLeast(64, TLX_KEYPAD_INPUT_SIZE);
#else
constexpr std::size_t kKeyboardInputSize = 64;
#endif

// Teller fields of the evaluator: 127 bytes of text and the NUL.
constexpr std::size_t kTellerFieldSize = 128;

#endif
