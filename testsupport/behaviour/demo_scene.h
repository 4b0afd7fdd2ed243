#pragma once
// The small scene that expression tests, `vortan-trace expr` and the expression benchmark compile against:
//   nodes "lamp" and "box", each with a variable of every type:
//       text "label", integer "count", boolean "on", float "level", vector "dir", quaternion "turn", matrix "pose";
//     lamp: label "lamp", count 3, on, level 0.5, dir (1, 2, 3); box: label "box", count 7, level 2,
//     and box also has floats "width" 3 and "height" 0;
//   a sound "hum" with float "volume" 0.25 and integer "pitch" 2;
//   a resource (Java class entry) "res" with float "gain" 4.
class SWworld;
class SWnode;

void BuildDemoScene(SWworld& world);
