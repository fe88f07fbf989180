#include "archive/parallel_deflate.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <bitset>

#include "archive_test_support.h"

namespace kbt {
namespace {

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& stream, size_t expected, bool* ended) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
  std::vector<uint8_t> out(expected + 1);
  z.next_in = const_cast<uint8_t*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  *ended = inflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_in == 0;
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return out;
}

std::vector<uint8_t> Random(size_t size) {
  std::vector<uint8_t> out(size);
  uint32_t state = 7;
  for (auto& b : out) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  return out;
}

struct Kind {
  const char* name;
  std::vector<uint8_t> data;
};

// Stored, fixed and dynamic blocks, short and long codes: each must join and inflate back.
const std::vector<Kind>& Kinds() {
  static const std::vector<Kind> kinds = {
      {"mixed", testing::MixedData(700000, 3)},
      {"random (stored blocks)", Random(300000)},
      {"zeros", std::vector<uint8_t>(500000, 0)},
      {"one byte", {0x42}},
      {"text", [] {
         std::vector<uint8_t> text;
         for (int i = 0; text.size() < 400000; ++i) {
           const std::string line = "[HKEY_CURRENT_USER\\Software\\Kestrove\\Item " + std::to_string(i * 7919 % 1000) + "]\r\n";
           text.insert(text.end(), line.begin(), line.end());
         }
         return text;
       }()},
  };
  return kinds;
}

TEST(ParallelDeflateTest, LibdeflateOutputIsJoinedByClearingOnlyItsFinalBit) {
  // A walk that went wrong would fall back to zlib silently; the bytes show which engine wrote.
  for (const Kind& kind : Kinds()) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    std::vector<uint8_t> whole(libdeflate_deflate_compress_bound(compressor, kind.data.size()));
    whole.resize(libdeflate_deflate_compress(compressor, kind.data.data(), kind.data.size(), whole.data(), whole.size()));
    libdeflate_free_compressor(compressor);
    const DeflatedPiece piece =
        DeflatePiece(kind.data.data(), kind.data.size(), nullptr, 0, 6, false, DeflateEngine::Libdeflate);
    ASSERT_TRUE(piece.ok) << kind.name;
    ASSERT_GE(piece.data.size(), whole.size() + 4) << kind.name;
    ASSERT_LE(piece.data.size(), whole.size() + 5) << kind.name;
    size_t changedBits = 0;
    for (size_t i = 0; i + 1 < whole.size(); ++i) changedBits += std::bitset<8>(whole[i] ^ piece.data[i]).count();
    EXPECT_EQ(changedBits, whole.size() > 1 ? 1u : 0u) << kind.name;
    EXPECT_EQ(std::vector<uint8_t>(piece.data.end() - 4, piece.data.end()), (std::vector<uint8_t>{0, 0, 0xFF, 0xFF}))
        << kind.name;
  }
}

TEST(ParallelDeflateTest, PiecesOfEveryKindJoinIntoOneStream) {
  for (DeflateEngine engine : {DeflateEngine::Libdeflate, DeflateEngine::Zlib}) {
    std::vector<uint8_t> all, stream;
    for (const Kind& kind : Kinds()) all.insert(all.end(), kind.data.begin(), kind.data.end());
    size_t at = 0;
    for (const Kind& kind : Kinds()) {
      const size_t dictionary = std::min<size_t>(at, 32768);
      const bool last = &kind == &Kinds().back();
      const DeflatedPiece piece = DeflatePiece(all.data() + at, kind.data.size(), all.data() + at - dictionary,
                                               dictionary, -1, last, engine);
      ASSERT_TRUE(piece.ok);
      EXPECT_EQ(piece.crc, libdeflate_crc32(0, kind.data.data(), kind.data.size()));
      stream.insert(stream.end(), piece.data.begin(), piece.data.end());
      at += kind.data.size();
    }
    bool ended = false;
    EXPECT_EQ(Inflate(stream, all.size(), &ended), all) << static_cast<int>(engine);
    EXPECT_TRUE(ended);
  }
}

TEST(ParallelDeflateTest, TheStreamDoesNotDependOnTheThreadsAndEndsEvenAfterAFullPiece) {
  // Piece sizes at the edges: none, one byte, exactly one piece, one piece and a byte, many.
  for (size_t size : {size_t{0}, size_t{1}, kDeflatePieceSize, kDeflatePieceSize + 1, 5 * kDeflatePieceSize + 3}) {
    const std::vector<uint8_t> data = testing::MixedData(size, static_cast<uint32_t>(size));
    std::vector<uint8_t> first;
    for (unsigned threads : {1u, 3u}) {
      std::vector<uint8_t> stream;
      ParallelDeflater deflater(-1, threads, [&](const unsigned char* p, size_t n) {
        stream.insert(stream.end(), p, p + n);
        return true;
      });
      for (size_t at = 0; at < size; at += kDeflatePieceSize) {
        const size_t n = std::min(kDeflatePieceSize, size - at);
        ASSERT_TRUE(deflater.Add({data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n)},
                                 n < kDeflatePieceSize));
      }
      ASSERT_TRUE(deflater.Finish());
      EXPECT_EQ(deflater.InputSize(), size);
      EXPECT_EQ(deflater.Crc(), libdeflate_crc32(0, data.data(), data.size()));
      bool ended = false;
      EXPECT_EQ(Inflate(stream, size, &ended), data) << size << " bytes, " << threads << " threads";
      EXPECT_TRUE(ended) << size;
      if (first.empty()) first = stream;
      EXPECT_EQ(stream, first) << size;
    }
  }
}

TEST(ParallelDeflateTest, AfterAFailedWriteNothingFollowsAndTheCountsStayWithWhatWasWritten) {
  const std::vector<uint8_t> data = testing::MixedData(4 * kDeflatePieceSize, 9);
  int writes = 0;
  ParallelDeflater deflater(-1, 2, [&](const unsigned char*, size_t) { return ++writes < 2; });
  // Add fails once the failure has been seen; which call sees it depends on the threads.
  for (size_t at = 0; at < data.size(); at += kDeflatePieceSize)
    static_cast<void>(deflater.Add(
        {data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + kDeflatePieceSize)}, false));
  EXPECT_FALSE(deflater.Finish());
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(deflater.InputSize(), kDeflatePieceSize);
  EXPECT_EQ(deflater.Crc(), libdeflate_crc32(0, data.data(), kDeflatePieceSize));
}

}  // namespace
}  // namespace kbt
