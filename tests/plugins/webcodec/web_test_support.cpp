#include "web_test_support.h"

#include "host/streams.h"
#include "pixmill/errors.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <unistd.h>

namespace pixmill::test {

const std::vector<KindSample>& EveryKind() {
    static const std::vector<KindSample> kinds = {
        {"1-bit black and white", 1}, {"1-bit coloured", 1}, {"4-bit", 4}, {"8-bit grey", 8},
        {"8-bit palette", 8},         {"24-bit", 24},
    };
    return kinds;
}

void MakeKindImage(CVImage& image, const KindSample& kind, int width, int height) {
    const int entries = kind.bitCount == 24 ? 0 : 1 << kind.bitCount;
    image.Create(width, height, kind.bitCount, entries, nullptr);
    for (int i = 0; i < entries; ++i) {
        // An order no sorting would produce: the file must keep it.
        const auto level = static_cast<uint8_t>((i * 97 + 31) & 0xFF);
        image.palette[i] = RGBQUAD{level, static_cast<uint8_t>(255 - level),
                                   static_cast<uint8_t>((i * 13) & 0xFF), 0};
    }
    if (kind.name == "1-bit black and white") {
        image.palette[0] = RGBQUAD{0, 0, 0, 0};
        image.palette[1] = RGBQUAD{255, 255, 255, 0};
    } else if (kind.name == "8-bit grey") {
        SetGrayRamp(image);
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t v = static_cast<uint32_t>(x * 7 + y * 13 + x * y);
            SetPixelAt(image, x, y,
                       entries > 0
                           ? v % entries
                           : ((v * 3) & 0xFF) << 16 | ((v * 5) & 0xFF) << 8 | (x * 9 & 0xFF));
        }
    }
}

void MakeSmooth(CVImage& image, int width, int height) {
    image.Create(width, height, 24, 0, nullptr);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            SetPixelAt(image, x, y,
                       uint32_t(x * 255 / width) << 16 | uint32_t(y * 255 / height) << 8 | 128);
        }
    }
}

ByteVector WriteWith(const CodecMaker& make, CPluginHost* host, const CVImage& image,
                     CVImage* preview) {
    MemoryStream stream(host, 4096, 4096);
    CFormatCodec* codec = make();
    struct Releaser {
        CFormatCodec* c;
        ~Releaser() { c->Release(); }
    } release{codec};
    const SIZE size = codec->BeginWrite(&image, nullptr);
    EXPECT_EQ(size.cx, image.Width());
    EXPECT_EQ(size.cy, image.Height());
    EXPECT_TRUE(codec->Write(&stream, nullptr, preview));
    EXPECT_EQ(static_cast<size_t>(codec->GetWrittenSize()), stream.Length());
    return ByteVector(stream.Data(), stream.Data() + stream.Length());
}

SIZE ReadWith(const CodecMaker& make, CPluginHost* host, const ByteVector& file, CVImage& image,
              const SIZE* box) {
    MemoryStream stream(host, file.size() + 1, 4096);
    if (!file.empty()) {
        stream.Write(file.data(), file.size());
    }
    stream.Seek(0, CVStream::FromStart);
    CFormatCodec* codec = make();
    struct Releaser {
        CFormatCodec* c;
        ~Releaser() { c->Release(); }
    } release{codec};
    const SIZE size = codec->ReadHeader(&image, &stream, box);
    codec->ReadPixels(nullptr);
    return size;
}

uint32_t ColorAt(const CVImage& image, int x, int y) {
    const uint32_t v = PixelAt(image, x, y);
    if (image.BitCount() == 24) {
        return v;
    }
    const RGBQUAD& c = image.palette[v];
    return uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
}

int ChannelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift : {0, 8, 16}) {
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    }
    return worst;
}

int ReadDamaged(const CodecMaker& make, CPluginHost* host, const std::vector<ByteVector>& valid,
                int* variants) {
    std::mt19937 random(20261208);
    int failures = 0;
    *variants = 0;
    for (const ByteVector& file : valid) {
        std::vector<ByteVector> damaged;
        for (size_t cut = 0; cut < file.size(); cut += 1 + file.size() / 30) {
            damaged.emplace_back(file.begin(), file.begin() + static_cast<long>(cut));
        }
        for (int n = 0; n < 40; ++n) {
            ByteVector flipped = file;
            for (int f = 0; f <= n % 4; ++f) {
                // Favour the header, where the sizes and layouts are.
                const size_t at = n % 2 == 0 ? random() % file.size()
                                             : random() % std::min<size_t>(file.size(), 64);
                flipped[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                if (n % 5 == 0) {
                    flipped[at] = 0xFF;
                }
            }
            damaged.push_back(std::move(flipped));
        }
        for (const ByteVector& bad : damaged) {
            ++*variants;
            try {
                CVImage image(host);
                ReadWith(make, host, bad, image);
                const SIZE box{7, 7};
                CVImage preview(host);
                ReadWith(make, host, bad, preview, &box);
            } catch (const CQorelError&) {
                ++failures;
            }
        }
    }
    return failures;
}

TempFile::TempFile(const ByteVector& bytes, const std::string& extension) {
    char name[] = "/tmp/pixmill-webXXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    std::remove(name);
    path = std::string(name) + extension;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

TempFile::~TempFile() {
    std::remove(path.c_str());
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    return pclose(pipe) == 0 ? output : std::string();
}

} // namespace pixmill::test
