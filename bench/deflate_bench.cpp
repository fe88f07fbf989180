// The deflate engines on one file, in memory: zlib and libdeflate, whole or in pieces, one thread
// each, and the parallel deflater on all cores. Prints compressed bytes and seconds against zlib
// level 6 on the whole file, and checks that every stream inflates back to the file.
//   deflate_bench FILE [level]   (default -1, as the backup passes)
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "archive/parallel_deflate.h"

using kbt::DeflateEngine;
using Clock = std::chrono::steady_clock;

namespace {

bool Inflates(const std::vector<unsigned char>& stream, const std::vector<unsigned char>& expected) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  std::vector<unsigned char> out(expected.size() + 1);
  z.next_in = const_cast<unsigned char*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&z, Z_FINISH);
  const bool ok = result == Z_STREAM_END && z.total_out == expected.size() && z.avail_in == 0 &&
                  std::equal(expected.begin(), expected.end(), out.begin());
  inflateEnd(&z);
  return ok;
}

struct Row {
  const char* name;
  size_t bytes;
  double seconds;
  bool ok;
};

Row Pieces(const char* name, const std::vector<unsigned char>& data, size_t pieceSize, int level, DeflateEngine engine) {
  const auto start = Clock::now();
  std::vector<unsigned char> stream;
  bool ok = true;
  for (size_t at = 0; at < data.size() || at == 0; at += pieceSize) {
    const size_t size = std::min(pieceSize, data.size() - at);
    const size_t dictionary = std::min<size_t>(at, 32768);
    const auto piece = kbt::DeflatePiece(data.data() + at, size, data.data() + at - dictionary, dictionary, level,
                                         at + size == data.size(), engine);
    ok = ok && piece.ok;
    stream.insert(stream.end(), piece.data.begin(), piece.data.end());
    if (size == 0) break;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return {name, stream.size(), seconds, ok && Inflates(stream, data)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: deflate_bench FILE [level]\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<unsigned char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // -1: the writer's default, zlib 6 for the zlib rows and libdeflate 4 for the others.
  const int level = argc > 2 ? std::atoi(argv[2]) : -1;
  const size_t whole = data.size() + 1;
  std::vector<Row> rows = {
      Pieces("zlib, whole file", data, whole, level, DeflateEngine::Zlib),
      Pieces("zlib, 1 MiB pieces", data, size_t{1} << 20, level, DeflateEngine::Zlib),
      Pieces("zlib, 2 MiB pieces", data, size_t{2} << 20, level, DeflateEngine::Zlib),
      Pieces("libdeflate, whole file", data, whole, level, DeflateEngine::Libdeflate),
      Pieces("libdeflate, 1 MiB pieces", data, size_t{1} << 20, level, DeflateEngine::Libdeflate),
      Pieces("libdeflate, 2 MiB pieces", data, size_t{2} << 20, level, DeflateEngine::Libdeflate),
      Pieces("libdeflate, 4 MiB pieces", data, size_t{4} << 20, level, DeflateEngine::Libdeflate),
  };
  for (DeflateEngine engine : {DeflateEngine::Zlib, DeflateEngine::Libdeflate}) {
    const auto start = Clock::now();
    std::vector<unsigned char> stream;
    kbt::ParallelDeflater deflater(level, kbt::ParallelDeflater::DefaultThreads(), [&](const unsigned char* p, size_t n) {
      stream.insert(stream.end(), p, p + n);
      return true;
    }, engine);
    bool ok = true;
    for (size_t at = 0; at < data.size(); at += kbt::kDeflatePieceSize) {
      const size_t size = std::min(kbt::kDeflatePieceSize, data.size() - at);
      ok = ok && deflater.Add({data.begin() + at, data.begin() + at + size}, size < kbt::kDeflatePieceSize);
    }
    ok = deflater.Finish() && ok;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    rows.push_back({engine == DeflateEngine::Zlib ? "zlib, parallel (wall)" : "libdeflate, parallel (wall)",
                    stream.size(), seconds, ok && Inflates(stream, data)});
  }
  std::printf("%zu bytes, level %d, %u threads for the parallel rows\n", data.size(), level,
              kbt::ParallelDeflater::DefaultThreads());
  std::printf("%-30s %12s %8s %8s %8s %s\n", "", "bytes", "size", "seconds", "time", "inflates");
  for (const Row& r : rows)
    std::printf("%-30s %12zu %8.4f %8.3f %8.2f %s\n", r.name, r.bytes, double(r.bytes) / double(rows[0].bytes),
                r.seconds, r.seconds / rows[0].seconds, r.ok ? "yes" : "NO");
  for (const Row& r : rows)
    if (!r.ok) return 1;
  return 0;
}
