#pragma once
// The two notices that ask whether a background arriving with a loaded scene file should become the project's:
// CVTND_LoadedBackgroundDlg, the plain question, and CVTND_LoadedBackgroundWarningDlg, which warns that a picture
// background is better not used. Each shows the background (its colour, or its picture) and answers IDOK for Yes
// and IDCANCEL for No; the caller installs the background. Neither owns the definition.
#include <array>
#include <cstdint>

#include "platform/ui/dialog/dialog.h"

class SWbackground;

class CVTND_LoadedBackgroundDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 519;

    void SetSource(const SWbackground* background) { m_background = background; } // the caller's, outliving us

protected:
    bool onInitDialog() override;
    bool preTranslateMessage(const pf::Msg& msg) override; // Y and N answer it, as they do a message box

private:
    const SWbackground* m_background = nullptr;
};

class CVTND_LoadedBackgroundWarningDlg : public CVTND_LoadedBackgroundDlg {
public:
    static constexpr int32_t kIdd = 228;
    static constexpr int32_t kIdWarning = 1061; // the first of the warning's three lines

protected:
    pf::LResult handle(const pf::Msg& msg) override;
};

std::array<uint8_t, 3> PackedRgbToBytes(uint32_t packed); // 0x00RRGGBB: red, green, blue
std::array<float, 3> RgbBytesToFloats(const std::array<uint8_t, 3>& bytes);
