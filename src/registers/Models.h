#pragma once
// The sensor models the program knows, once: the Device menu, model selection, the register
// tables and the command line all read this table. (The simulator keeps its own scales, as
// an independent check.)
#include <array>
#include <optional>

namespace tavrin::registers {

struct ModelInfo {
    int number;
    double gyroBaseScale; // deg/s per count at the widest gyroscope range
    float accScale;       // g per count
    bool ownTable;        // the table without supply register (else the standard one)
};

// In the Device menu's order.
inline constexpr std::array<ModelInfo, 6> kModels = {{
    {41040, 0.05, 0.001f, true},
    {41120, 0.05, 0.003333f, false},
    {41140, 0.05, 0.000333f, false},
    {41160, 0.05, 0.001f, false},
    {41170, 0.05, 0.003333f, false},
    {41190, 0.2, 0.003333f, false},
}};

// The model whose number this is, exactly; nothing for any other number.
inline std::optional<ModelInfo> FindModel(float productNumber) {
    for (const ModelInfo& m : kModels)
        if (productNumber == static_cast<float>(m.number)) return m;
    return std::nullopt;
}

} // namespace tavrin::registers
