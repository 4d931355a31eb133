// The yardstick of the high-quality palette as a library call: reduces a
// binary PPM to 256 colours with libimagequant at its default speed (the
// settings pngquant uses by default: no posterisation, full quality range)
// and writes the remapped picture as a binary PPM. Prints the milliseconds
// of the quantisation and remapping alone (wall and CPU), so the library's
// work can be compared with our conversion without either program's file
// reading and writing.
//
//   liq_quantise IN.ppm OUT.ppm [--nofs]      (--nofs: no error diffusion)
#include <libimagequant.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool ReadPpm(const char* path, int& width, int& height, std::vector<unsigned char>& rgb) {
    std::ifstream in(path, std::ios::binary);
    // The header's four fields, with comment lines between them skipped.
    auto field = [&in]() {
        std::string token;
        while (in >> token && token[0] == '#') {
            std::getline(in, token);
        }
        return token;
    };
    const std::string magic = field();
    width = std::atoi(field().c_str());
    height = std::atoi(field().c_str());
    const int maximum = std::atoi(field().c_str());
    in.get();
    if (!in || magic != "P6" || maximum != 255 || width < 1 || height < 1) {
        return false;
    }
    rgb.resize(static_cast<size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return static_cast<size_t>(in.gcount()) == rgb.size();
}

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: liq_quantise IN.ppm OUT.ppm [--nofs]\n");
        return 2;
    }
    const bool dither = !(argc > 3 && std::strcmp(argv[3], "--nofs") == 0);
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    if (!ReadPpm(argv[1], width, height, rgb)) {
        std::fprintf(stderr, "cannot read %s as a binary PPM\n", argv[1]);
        return 1;
    }
    const size_t pixels = static_cast<size_t>(width) * height;
    std::vector<unsigned char> rgba(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
        std::memcpy(&rgba[4 * i], &rgb[3 * i], 3);
        rgba[4 * i + 3] = 255;
    }
    std::vector<unsigned char> indices(pixels);

    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuMs();
    liq_attr* attr = liq_attr_create();
    liq_set_max_colors(attr, 256);
    liq_image* image = liq_image_create_rgba(attr, rgba.data(), width, height, 0);
    liq_result* result = nullptr;
    if (image == nullptr || liq_image_quantize(image, attr, &result) != LIQ_OK) {
        std::fprintf(stderr, "libimagequant could not reduce %s\n", argv[1]);
        return 1;
    }
    liq_set_dithering_level(result, dither ? 1.0f : 0.0f);
    liq_write_remapped_image(result, image, indices.data(), indices.size());
    const liq_palette* palette = liq_get_palette(result);
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double cpuMs = CpuMs() - cpuStart;

    for (size_t i = 0; i < pixels; ++i) {
        const liq_color& c = palette->entries[indices[i]];
        rgb[3 * i] = c.r;
        rgb[3 * i + 1] = c.g;
        rgb[3 * i + 2] = c.b;
    }
    liq_result_destroy(result);
    liq_image_destroy(image);
    liq_attr_destroy(attr);
    std::ofstream out(argv[2], std::ios::binary);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    std::printf("%.1f %.1f\n", wallMs, cpuMs);
    return out ? 0 : 1;
}
