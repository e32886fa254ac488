// --gta-routines: the game's vehicle and camera routines at their fixed addresses (each starting
// with the bytes the plugin checks and continuing as working code), the records the plugin reads
// (cameras, the player, one vehicle, seats, ladder objects and frames) and a small 3-D scene seen
// through the active camera's fields, so a camera the plugin writes moves the picture.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

namespace hm::fakegame {

// Places the routines and records; false when the game region is not where it must be.
// `drawingClass`: the plugin's read of the calling thread's drawing class (null: not loaded).
bool PlaceGtaRoutines(long long (*vehicleCounter)(int));

// Before the scene: the game's camera update for the active camera.
void GtaUpdateCamera();
// Inside the scene: the world, the vehicle (through the entity-draw pointer and the vehicle
// render routine), the ladder objects (object process, which draws each as a post in its own
// frame, both collision routines).
void GtaDrawScene(IDirect3DDevice9* device);

// The commands of this part; an empty answer means "not mine".
//   seat <model> <class> driver|passenger|none   the player in the vehicle -> ok seated
//   ladder <attached> <far>    ladder objects (model 19425) on the vehicle / 30 units away
//   chain 1|0                  the built-in ladder's frame chain linked back, or broken
//   camfield                   the active camera: fov, near clip, flag byte, source, front
//   gtacounts                  body draws, built-in ladder draws, frame refreshes, per object
//                              the collision calls that reached the game and the drawing class
//   gtareset                   zeroes the counts
std::string GtaCommand(const std::vector<std::string>& words);

}  // namespace hm::fakegame
