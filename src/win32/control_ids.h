#pragma once
// The ids of the form's controls; none is IDOK or IDCANCEL, which the dialog
// keys (Enter, Escape) would send.

namespace mirvane::win32 {

enum ControlId : int {
    kIdPanel = 100,
    kIdGauge,
    kIdJobList,
    kIdDropHint,
    kIdStartButton,
    kIdClearButton,
    kIdPresetLabel,
    kIdPresetList,
    kIdDirectShowBox,
};

}  // namespace mirvane::win32
