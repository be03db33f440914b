#include "wandframes.h"

#include <charconv>
#include <cmath>

namespace {

// The shortest digits that read back as the value, whatever the locale.
std::string text(double value) {
    char digits[32];
    return {digits, std::to_chars(digits, digits + sizeof digits, value).ptr};
}

} // namespace

std::string wandFrame(const std::vector<WandDevice>& devices, unsigned number) {
    const std::string count = std::to_string(devices.size());
    std::string frame = "fr " + std::to_string(number) + "\nts " + text(number / 100.0) +
                        "\n6df2 " + count + ' ' + count;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const WandDevice& d = devices[i];
        frame += " [" + std::to_string(i) + " 1.000 " + std::to_string(d.buttonCount) +
                 " 2][0.1 0.2 0.3][1 0 0 0 1 0 0 0 1][" +
                 (d.buttonCount > 0 ? std::to_string(d.buttons) + ' ' : std::string()) + text(d.h) +
                 ' ' + text(d.v) + ']';
    }
    return frame + '\n';
}

std::vector<std::string> passingCheck(int copies) {
    std::vector<std::string> frames;
    const auto next = [&frames, copies](unsigned s2, double h = 0, double v = 0) {
        for (int i = 0; i < copies; ++i)
            frames.push_back(wandFrame({{6, 1}, {6, s2, h, v}}, unsigned(frames.size()) + 1));
    };
    for (unsigned s2 : {0u, 1u, 0u, 2u, 0u, 4u, 0u, 8u, 0u, 16u, 0u, 32u, 0u})
        next(s2);
    for (int k = 0; k < 8; ++k)
        next(0, 0.95 * std::cos(k * M_PI / 4), 0.95 * std::sin(k * M_PI / 4));
    for (int i = 0; i < 120; ++i)
        next(0, 0.01, -0.02);
    return frames;
}
