#pragma once

namespace mirelo {

// A row of the profile chooser by its 1-based position, the profile identifier of the whole
// product: presets, the command line and the stored "profile" setting all key on it. The
// position is kept as it is stored, so a saved choice means the same row in every version.
class ProfileId {
public:
    constexpr ProfileId() = default;
    // Implicit: positions are written as plain numbers in tables, settings and command lines.
    constexpr ProfileId(int position) : m_position(position) {}

    constexpr int position() const { return m_position; }

    friend constexpr bool operator==(ProfileId, ProfileId) = default;

private:
    int m_position = 0; // 0: no row
};

} // namespace mirelo
