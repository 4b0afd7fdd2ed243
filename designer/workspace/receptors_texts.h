#pragma once
// Dialog and string ids of the object pickers and the rename dialog.
#include <cstdint>

inline constexpr int32_t kIddSingleSelect = 124;
inline constexpr int32_t kIddMultipleSelect = 127;
inline constexpr int32_t kIddRename = 172;

namespace PickerControl {
inline constexpr int32_t kOffered = 1056;
inline constexpr int32_t kChosen = 1065;
inline constexpr int32_t kAdd = 1067;
inline constexpr int32_t kQueueMode = 1068;
inline constexpr int32_t kRemove = 1070;
} // namespace PickerControl

namespace RenameControl {
inline constexpr int32_t kCurrentName = 1004;
inline constexpr int32_t kNewName = 1005;
inline constexpr int32_t kKindLabel = 1043;
} // namespace RenameControl

enum ReceptorsEditorsText : uint32_t {
    kIdsRenameErrorCaption = 20100, // the caption of the rename dialog's two error boxes
    kIdsRenameValidName = 20101,    // fewer than 2 characters
    kIdsRenameUniqueName = 20102,   // another object of the kind bears the name
    kIdsKindMeshNode = 20110,       // the kind labels, in the order of RenameKindText
};
