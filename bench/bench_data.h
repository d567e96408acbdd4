// Data the benchmark sends: reproducible bytes and local files of them.
#ifndef TLX_BENCH_DATA_H
#define TLX_BENCH_DATA_H

#include <cstddef>
#include <string>

namespace tlxbench {

// n bytes from a fixed pseudo-random sequence.
std::string Bytes(size_t n);
bool WriteLocal(const std::string& path, const std::string& bytes);

}  // namespace tlxbench

#endif
