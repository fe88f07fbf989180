// The archive benchmark's data set, the same bytes on every run:
//   archive_bench_data FOLDER [MiB]
// writes FOLDER/big.dat (MiB mebibytes, 200 by default, of mixed compressibility: word text,
// random bytes, zeros and repeated records) and five small files named like the client's.
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {  // xorshift64*
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ull;
  }
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }

 private:
  uint64_t state_;
};

class Generator {
 public:
  explicit Generator(uint64_t seed) : random_(seed) {
    for (int i = 0; i < 1500; ++i) {
      std::string word;
      const uint32_t length = 2 + random_.Below(9);
      for (uint32_t k = 0; k < length; ++k) word += static_cast<char>('a' + random_.Below(26));
      words_.push_back(word);
    }
  }

  // Appends one run of `size` bytes of a kind chosen by weight.
  void Run(std::string& out, size_t size) {
    const uint32_t kind = random_.Below(100);
    const size_t end = out.size() + size;
    if (kind < 66) {  // text
      while (out.size() < end) {
        out += words_[random_.Below(static_cast<uint32_t>(words_.size()))];
        out += random_.Below(12) == 0 ? '\n' : ' ';
      }
    } else if (kind < 76) {  // random bytes
      while (out.size() < end) out += static_cast<char>(random_.Next() >> 56);
    } else if (kind < 90) {  // zeros
      out.append(size, '\0');
    } else {  // records that repeat with small changes
      std::string record(64 + random_.Below(192), '\0');
      for (char& c : record) c = static_cast<char>(random_.Next() >> 56);
      while (out.size() < end) {
        record[random_.Below(static_cast<uint32_t>(record.size()))] = static_cast<char>(random_.Next() >> 56);
        out += record;
      }
    }
    out.resize(end);
  }

  bool WriteFile(const std::string& path, uint64_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::string chunk;
    uint64_t written = 0;
    bool ok = true;
    while (ok && written < size) {
      chunk.clear();
      while (chunk.size() < (1u << 20)) Run(chunk, 4096 + random_.Below(256 * 1024));
      const size_t part = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - written));
      ok = std::fwrite(chunk.data(), 1, part, file) == part;
      written += part;
    }
    return std::fclose(file) == 0 && ok;
  }

 private:
  Random random_;
  std::vector<std::string> words_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: archive_bench_data FOLDER [MiB]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200;
  Generator generator(0x4B455354524F5645ull);  // one seed: the same data every time
  const struct {
    const char* name;
    uint64_t size;
  } files[] = {{"big.dat", mebibytes << 20},  {"settings.reg", 180000}, {"history.dat", 400000},
               {"custom.dat", 12000},         {"folders.dat", 3000},    {"favorites.dat", 25000}};
  for (const auto& file : files) {
    if (!generator.WriteFile(folder + "/" + file.name, file.size)) {
      std::fprintf(stderr, "cannot write %s\n", file.name);
      return 1;
    }
  }
  return 0;
}
