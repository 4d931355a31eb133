// Rate against distortion of JPEG encoders on the same pictures: our exact
// and web encodings, cjpeg -optimize -progressive, and sharp's encoder (node
// script beside this file, when the sharp module is installed). Every file
// is decoded with libjpeg and compared with the original: SSIM on luma
// (11 x 11 Gaussian window, sigma 1.5) and PSNR over R, G and B. Prints one
// table per picture and, per encoder, the bytes needed for equal SSIM and for
// equal PSNR relative to the yardstick (interpolated on log bytes).
//
//   jpeg_rate_distortion picture.ppm...           the tables
//   jpeg_rate_distortion --compare a.ppm b.jpg     SSIM and PSNR of one file
//   jpeg_rate_distortion --time a.ppm [level]      CPU time, exact and web
//
// RD_ENCODERS (e.g. "ours web,sharp") limits the encoders run; the other
// encoders' points are kept in the temporary folder between runs.
#include "host/host_services.h"
#include "host/settings_store.h"
#include "host/streams.h"
#include "jpeg_codec.h"
#include "pixmill/cv_image.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

using namespace pixmill;
using namespace pixmill::alder;
namespace fs = std::filesystem;

namespace {

// An RGB picture, top-down, 3 bytes a pixel.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bool LoadPpm(const std::string& path, Picture& picture) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> picture.width >> picture.height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255 || picture.width <= 0 || picture.height <= 0) {
        return false;
    }
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char*>(picture.rgb.data()),
            static_cast<std::streamsize>(picture.rgb.size()));
    return static_cast<bool>(in);
}

bool LoadJpeg(const std::vector<uint8_t>& bytes, Picture& picture) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), bytes.size());
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    picture.width = static_cast<int>(info.output_width);
    picture.height = static_cast<int>(info.output_height);
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            picture.rgb.data() + static_cast<size_t>(info.output_scanline) * picture.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Quality {
    double ssim = 0, psnr = 0;
};

// Luma of BT.601 as the JPEG colour transform defines it.
std::vector<float> Luma(const Picture& p) {
    std::vector<float> y(static_cast<size_t>(p.width) * p.height);
    for (size_t i = 0; i < y.size(); ++i) {
        y[i] = 0.299f * p.rgb[3 * i] + 0.587f * p.rgb[3 * i + 1] + 0.114f * p.rgb[3 * i + 2];
    }
    return y;
}

// Separable 11-tap Gaussian (sigma 1.5) over the picture, windows wholly
// inside only.
std::vector<float> Blur(const std::vector<float>& in, int width, int height) {
    float kernel[11];
    float sum = 0;
    for (int i = 0; i < 11; ++i) {
        kernel[i] = std::exp(-(i - 5) * (i - 5) / (2 * 1.5f * 1.5f));
        sum += kernel[i];
    }
    for (float& k : kernel) {
        k /= sum;
    }
    const int w = width - 10, h = height - 10;
    std::vector<float> rows(static_cast<size_t>(w) * height), out(static_cast<size_t>(w) * h);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < w; ++x) {
            float s = 0;
            for (int i = 0; i < 11; ++i) {
                s += kernel[i] * in[static_cast<size_t>(y) * width + x + i];
            }
            rows[static_cast<size_t>(y) * w + x] = s;
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float s = 0;
            for (int i = 0; i < 11; ++i) {
                s += kernel[i] * rows[static_cast<size_t>(y + i) * w + x];
            }
            out[static_cast<size_t>(y) * w + x] = s;
        }
    }
    return out;
}

Quality Measure(const Picture& a, const Picture& b) {
    Quality q;
    double squared = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = static_cast<double>(a.rgb[i]) - b.rgb[i];
        squared += d * d;
    }
    const double mse = squared / static_cast<double>(a.rgb.size());
    q.psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;

    const std::vector<float> x = Luma(a), y = Luma(b);
    std::vector<float> xx(x.size()), yy(x.size()), xy(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        xx[i] = x[i] * x[i];
        yy[i] = y[i] * y[i];
        xy[i] = x[i] * y[i];
    }
    const int w = a.width, h = a.height;
    const std::vector<float> mx = Blur(x, w, h), my = Blur(y, w, h);
    const std::vector<float> sxx = Blur(xx, w, h), syy = Blur(yy, w, h), sxy = Blur(xy, w, h);
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    for (size_t i = 0; i < mx.size(); ++i) {
        const double ux = mx[i], uy = my[i];
        const double vx = sxx[i] - ux * ux, vy = syy[i] - uy * uy, cxy = sxy[i] - ux * uy;
        total +=
            ((2 * ux * uy + c1) * (2 * cxy + c2)) / ((ux * ux + uy * uy + c1) * (vx + vy + c2));
    }
    q.ssim = total / static_cast<double>(mx.size());
    return q;
}

struct Point {
    size_t bytes;
    Quality quality;
};

// Bytes at which the curve reaches a quality; 0 outside the curve. Log
// bytes as a function of quality, through the measured points by a monotone
// cubic (Fritsch-Carlson): a straight chord between two points of a concave
// curve would charge the interpolated encoder bytes it does not spend.
// RD_LINEAR=1 interpolates linearly instead, to see how much this matters.
double BytesAt(std::vector<Point> curve, double target, bool ssim) {
    auto value = [&](const Point& p) { return ssim ? p.quality.ssim : p.quality.psnr; };
    std::sort(curve.begin(), curve.end(),
              [&](const Point& a, const Point& b) { return a.bytes < b.bytes; });
    // Points where the quality rises with the bytes.
    std::vector<double> q, b;
    for (const Point& p : curve) {
        if (q.empty() || value(p) > q.back()) {
            q.push_back(value(p));
            b.push_back(std::log(double(p.bytes)));
        }
    }
    const size_t n = q.size();
    if (n < 2 || target < q.front() || target > q.back()) {
        return 0;
    }
    std::vector<double> slope(n - 1), tangent(n);
    for (size_t i = 0; i + 1 < n; ++i) {
        slope[i] = (b[i + 1] - b[i]) / (q[i + 1] - q[i]);
    }
    tangent[0] = slope[0];
    tangent[n - 1] = slope[n - 2];
    for (size_t i = 1; i + 1 < n; ++i) {
        tangent[i] = (slope[i - 1] + slope[i]) / 2;
    }
    for (size_t i = 0; i + 1 < n; ++i) {
        const double a = tangent[i] / slope[i], c = tangent[i + 1] / slope[i];
        if (a * a + c * c > 9) {
            const double t = 3 / std::sqrt(a * a + c * c);
            tangent[i] = t * a * slope[i];
            tangent[i + 1] = t * c * slope[i];
        }
    }
    const bool linear = std::getenv("RD_LINEAR") != nullptr;
    size_t i = 0;
    while (i + 2 < n && target > q[i + 1]) {
        ++i;
    }
    const double h = q[i + 1] - q[i], t = (target - q[i]) / h;
    if (linear) {
        return std::exp(b[i] * (1 - t) + b[i + 1] * t);
    }
    const double t2 = t * t, t3 = t2 * t;
    const double logBytes = (2 * t3 - 3 * t2 + 1) * b[i] + (t3 - 2 * t2 + t) * h * tangent[i] +
                            (-2 * t3 + 3 * t2) * b[i + 1] + (t3 - t2) * h * tangent[i + 1];
    return std::exp(logBytes);
}

// Measured points of the other encoders, kept between runs (they do not
// change while ours is tuned): "encoder setting size mtime picture" -> point.
class PointCache {
  public:
    explicit PointCache(fs::path file) : file(std::move(file)) {
        std::ifstream in(this->file);
        std::string key;
        Point p;
        while (std::getline(in, key, '\t') && in >> p.bytes >> p.quality.ssim >> p.quality.psnr) {
            in.get();
            points[key] = p;
        }
    }
    static std::string Key(const std::string& encoder, int setting, const std::string& picture) {
        std::error_code error;
        const auto size = fs::file_size(picture, error);
        const auto time = fs::last_write_time(picture, error).time_since_epoch().count();
        return encoder + " " + std::to_string(setting) + " " + std::to_string(size) + " " +
               std::to_string(time) + " " + picture;
    }
    bool Find(const std::string& key, Point& p) const {
        const auto it = points.find(key);
        if (it == points.end()) {
            return false;
        }
        p = it->second;
        return true;
    }
    void Add(const std::string& key, const Point& p) {
        points[key] = p;
        std::ofstream out(file, std::ios::app);
        char line[96];
        std::snprintf(line, sizeof line, "%zu %.6f %.4f\n", p.bytes, p.quality.ssim,
                      p.quality.psnr);
        out << key << '\t' << line;
    }

  private:
    fs::path file;
    std::map<std::string, Point> points;
};

std::vector<uint8_t> EncodeOurs(CPluginHost* host, const Picture& picture, int level, bool web) {
    CVImage image(host);
    image.Create(picture.width, picture.height, 24, 0, nullptr, 2835, 2835);
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* from = picture.rgb.data() + static_cast<size_t>(y) * picture.width * 3;
        uint8_t* to = image.Row(y);
        for (int x = 0; x < picture.width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    JpegSettings settings{};
    settings.luminance = level;
    settings.chrominance = level;
    settings.progressive = 1;
    settings.web = web ? 1 : 0;
    JpegCodec codec(nullptr, host, &settings);
    MemoryStream stream(host, image.ImageBytes() / 3 + 1024, image.ImageBytes() / 6 + 256);
    codec.BeginWrite(&image, nullptr);
    codec.Write(&stream, nullptr, nullptr);
    codec.FreeWorkBuffer();
    std::vector<uint8_t> bytes(stream.Length());
    stream.Seek(0, CVStream::FromStart);
    stream.Read(bytes.data(), bytes.size());
    return bytes;
}

struct Encoder {
    const char* name;
    std::vector<int> settings; // levels (ours) or qualities
};

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--compare") {
        Picture a, b;
        if (!LoadPpm(argv[2], a) || !LoadJpeg(ReadFile(argv[3]), b) || a.width != b.width ||
            a.height != b.height) {
            std::fprintf(stderr, "cannot compare %s and %s\n", argv[2], argv[3]);
            return 1;
        }
        const Quality q = Measure(a, b);
        std::printf("ssim %.5f psnr %.3f\n", q.ssim, q.psnr);
        return 0;
    }
    if (argc >= 3 && std::string(argv[1]) == "--time") {
        // CPU time of the exact and the web encoding (progressive), taken
        // in turns, best of five.
        Picture picture;
        if (!LoadPpm(argv[2], picture)) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
        const int level = argc >= 4 ? std::atoi(argv[3]) : 50;
        MemorySettingsStore store;
        HostServices host(store);
        double best[2] = {1e30, 1e30};
        for (int run = 0; run < 5; ++run) {
            for (int web = 0; web < 2; ++web) {
                const std::clock_t start = std::clock();
                EncodeOurs(&host, picture, level, web != 0);
                best[web] =
                    std::min(best[web], 1e3 * double(std::clock() - start) / CLOCKS_PER_SEC);
            }
        }
        std::printf("level %d: exact %.1f ms, web %.1f ms CPU (web / exact %.2f)\n", level, best[0],
                    best[1], best[1] / best[0]);
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: jpeg_rate_distortion picture.ppm...\n");
        return 1;
    }
    const char* sharpScript = std::getenv("SHARP_ENCODE"); // node script, or unset
    const fs::path work = fs::temp_directory_path() / "pixmill-jpeg-rd";
    fs::create_directories(work);

    MemorySettingsStore store;
    HostServices host(store);
    // Levels and qualities that span web use (about quality 50 to 92). Ours
    // are about 10 % apart in bytes, so that the interpolation between them
    // is close to the curve; the yardstick's points are compared as they are.
    const std::vector<int> levels = {14, 16, 18, 20, 23, 26, 29,  32,  36,  40,  45, 50,
                                     56, 62, 69, 76, 84, 92, 100, 110, 120, 128, 136};
    const std::vector<int> qualities = {92, 88, 84, 82, 80, 78, 75, 72,
                                        70, 68, 65, 62, 60, 55, 50, 40};
    // The yardstick's qualities the comparison is made at (RD_RANGE=50-92
    // widens it).
    int comparedFrom = 60, comparedTo = 82;
    if (const char* range = std::getenv("RD_RANGE")) {
        std::sscanf(range, "%d-%d", &comparedFrom, &comparedTo);
    }
    PointCache cache(work / "points.txt");
    const std::vector<const char*> names = {"ours exact", "ours web", "cjpeg", "sharp"};
    std::map<std::string, std::vector<double>> ssimRatio, psnrRatio;

    for (int p = 1; p < argc; ++p) {
        Picture original;
        if (!LoadPpm(argv[p], original)) {
            std::fprintf(stderr, "cannot read %s\n", argv[p]);
            return 1;
        }
        std::printf("\n%s (%d x %d)\n", fs::path(argv[p]).filename().c_str(), original.width,
                    original.height);
        std::printf("%-11s %8s %10s %8s %8s\n", "encoder", "setting", "bytes", "SSIM", "PSNR");
        std::map<std::string, std::vector<Point>> curves;
        for (const char* name : names) {
            const std::string encoder = name;
            if (encoder == "sharp" && sharpScript == nullptr) {
                continue;
            }
            const char* only = std::getenv("RD_ENCODERS");
            if (only != nullptr && std::string(only).find(encoder) == std::string::npos) {
                continue;
            }
            const bool ours = encoder.rfind("ours", 0) == 0;
            for (const int setting : ours ? levels : qualities) {
                const std::string key = PointCache::Key(encoder, setting, argv[p]);
                Point cached;
                if (!ours && cache.Find(key, cached)) {
                    curves[encoder].push_back(cached);
                    std::printf("%-11s %8d %10zu %8.5f %8.3f\n", name, setting, cached.bytes,
                                cached.quality.ssim, cached.quality.psnr);
                    continue;
                }
                std::vector<uint8_t> bytes;
                if (ours) {
                    bytes = EncodeOurs(&host, original, setting, encoder == "ours web");
                } else {
                    const std::string out =
                        (work / ("out-" + std::to_string(getpid()) + ".jpg")).string();
                    const std::string command =
                        encoder == "cjpeg"
                            ? "cjpeg -optimize -progressive -quality " + std::to_string(setting) +
                                  " -outfile " + out + " " + argv[p]
                            : "node " + std::string(sharpScript) + " " + argv[p] + " " + out + " " +
                                  std::to_string(setting);
                    if (std::system(command.c_str()) != 0) {
                        std::fprintf(stderr, "failed: %s\n", command.c_str());
                        return 1;
                    }
                    bytes = ReadFile(out);
                }
                Picture decoded;
                if (!LoadJpeg(bytes, decoded)) {
                    std::fprintf(stderr, "%s wrote an unreadable file\n", name);
                    return 1;
                }
                const Quality q = Measure(original, decoded);
                curves[encoder].push_back({bytes.size(), q});
                if (!ours) {
                    cache.Add(key, {bytes.size(), q});
                }
                std::printf("%-11s %8d %10zu %8.5f %8.3f\n", name, setting, bytes.size(), q.ssim,
                            q.psnr);
            }
        }
        // Bytes relative to the yardstick at its own middle qualities.
        const std::string yardstick = curves.count("sharp") ? "sharp" : "cjpeg";
        for (const auto& [encoder, curve] : curves) {
            double ssimSum = 0, psnrSum = 0;
            int ssimN = 0, psnrN = 0;
            std::string each; // the ratios at each of the yardstick's points
            for (size_t i = 0; i < curves[yardstick].size(); ++i) {
                if (qualities[i] < comparedFrom || qualities[i] > comparedTo) {
                    continue;
                }
                const Point& at = curves[yardstick][i];
                const double s = BytesAt(curve, at.quality.ssim, true);
                const double r = BytesAt(curve, at.quality.psnr, false);
                if (s > 0) {
                    ssimSum += s / at.bytes, ++ssimN;
                }
                if (r > 0) {
                    psnrSum += r / at.bytes, ++psnrN;
                }
                char text[32];
                std::snprintf(text, sizeof text, " %.3f/%.3f", s / at.bytes, r / at.bytes);
                each += text;
            }
            if (ssimN > 0) {
                ssimRatio[encoder].push_back(ssimSum / ssimN);
            }
            if (psnrN > 0) {
                psnrRatio[encoder].push_back(psnrSum / psnrN);
            }
            std::printf("  %-11s bytes / %s: at equal SSIM %.3f, at equal PSNR %.3f  (each%s)\n",
                        encoder.c_str(), yardstick.c_str(), ssimN ? ssimSum / ssimN : 0.0,
                        psnrN ? psnrSum / psnrN : 0.0, each.c_str());
        }
    }
    std::printf("\nmean bytes relative to the yardstick (sharp if present, else cjpeg)\n");
    std::printf("%-11s %12s %12s\n", "encoder", "equal SSIM", "equal PSNR");
    for (const char* name : names) {
        auto mean = [](const std::vector<double>& v) {
            double s = 0;
            for (double x : v) {
                s += x;
            }
            return v.empty() ? 0.0 : s / v.size();
        };
        if (ssimRatio.count(name)) {
            std::printf("%-11s %12.3f %12.3f\n", name, mean(ssimRatio[name]),
                        mean(psnrRatio[name]));
        }
    }
    return 0;
}
