// The kind codes of the game's objects, by what each kind is. The code is what a record
// keeps, what the dispatch table and the census are indexed by, and what the stage scripts
// spawn; codes with no name here have no routines (both dispatchers pass over them).
#pragma once

#include <cstdint>

enum kind_code : int32_t {
  kShip = 1,                  // the player's ship
  kShipShot = 2,              // the player's shot
  kTriangleBlock = 3,         // the drifting triangle block
  kSquareDrifter = 4,         // a square that spins and drifts
  kChaser = 5,                // the plain steering chaser, pulsing in size
  kDodger = 6,                // a chaser that sidesteps the player's shots
  kColourTriangle = 7,        // a chaser that cycles six colours and takes two hits
  kRunaway = 8,               // a square that keeps its spawn velocity, its cross glowing
  kChainBoss = 9,             // the chain boss, a link per record
  kTetherBarrier = 10,        // a barrier leaning toward the ship on a tether
  kStarChaser = 11,          // a star chaser that survives the ship and takes several hits
  kMorpher = 12,              // a chaser whose outline swells and shrinks
  kHexagon = 13,              // a spinning hexagon that splits into six pieces when shot
  kHexagonPiece = 14,         // a triangular piece of a hexagon, homing on the ship
  kDriftingShooter = 15,      // a drifting, spinning shooter
  kStandingShooter = 16,      // a stationary spinning shooter
  kWinged = 17,               // a winged chaser that chases or aims and dashes
  kEnemyShot = 18,            // the shot every shooting kind fires
  kMenuSquare = 20,           // the menus' decorative square
  kFixedTurret = 21,          // a turret that fires straight ahead
  kShieldSpinner = 22,        // a pulsing spinner; its pick-up fills the shield
  kRock = 23,                 // a rock
  kBigRock = 24,              // a big rock, which splits into two rocks and a small one
  kShootingHunter = 25,       // the hunter boss that fires shots
  kSmallRock = 26,            // a small rock
  kMineHunter = 27,           // the hunter boss that lays mines
  kHunterMine = 28,           // the mine the hunter lays
  kCrossBox = 29,             // a box with a cross
  kUprightBar = 31,           // an upright bar
  kLyingBar = 35,             // a lying bar (dies as an upright one)
  kLifeSpinner = 40,          // a pulsing spinner; its pick-ups count toward a life
  kBouncingBarrier = 101,     // a flat hexagonal bar that bounces in some levels
  kOscillatingBarrier = 102,  // an hourglass that swings back and forth
  kTallySpinner = 103,        // a pulsing spinner whose pick-ups the scripts count
  kTurningBoss = 104,         // the slowly turning boss that swells and fades
  kHornedGiant = 105,         // a large chaser that takes several hits
  kTailedGiant = 106,         // the other large chaser that takes several hits
  kStarBarrier = 107,         // a five-pointed star that turns slowly
  kHeavySpinner = 108,        // a heavy spinner, counted as kTallySpinner
  kSlidingBarrier = 109,      // a frame that slides between limits
  kSquareBlock = 110,         // a small square block
  kTrophyA = 111,             // the five trophy shapes: touching one wins the zone's trophy
  kFixedShape = 112,          // a shape in fixed colours
  kAsterisk = 113,            // an asterisk block that survives ramming the ship
  kArmouredMorpher = 114,     // a morpher that takes three hits
  kSpinningTurret = 115,      // a turret that spins as it fires
  kWalkingMine = 116,         // the mines that walk the arena's edge in some levels
  kArmouredShooter = 117,     // a standing shooter that takes fifteen hits
  kTimeSpinner = 118,         // a pulsing spinner; its pick-up adds to the timed mode's clock
  kTrophyB = 119,
  kTrophyC = 120,
  kTrophyD = 121,
  kTrophyE = 122,
  kPatrolSpinner = 123,       // a pulsing spinner that patrols sideways
};
