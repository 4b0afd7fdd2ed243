#pragma once
// Names of what every object node carries built in: its transform variable and the two views of it, and its
// default key-frame track. Expressions, motions and records use these constants, never their own literals.
inline constexpr const char* kTransformVariableName = "Transform"; // matrix; its current value is the local matrix
inline constexpr const char* kPositionVariableName = "Position";   // vector view of "Transform" (the translation)
inline constexpr const char* kRotationVariableName = "Rotation";   // quaternion view of "Transform"
inline constexpr const char* kDefaultAnimationName = "Animation";  // the node's default key-frame track
