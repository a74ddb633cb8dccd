#pragma once

// The program's calculation state, alive for the whole run, and the two
// routines that turn it into a picture: CalcMandel (conditions → counts) and
// DrawMandel (counts → pixels on the main picture).

#include "engine/calc_condition.h"
#include "engine/escape_time.h"
#include "engine/grids.h"
#include "engine/picture_surface.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quilfen {

// Largest iteration limit the program accepts; counts are 32-bit, so every
// limit up to this follows the same rules as 1 … 32766.
inline constexpr std::int32_t kMaxIterLimit = 1'000'000;

extern CalcCondition CalcCond;   // region of the next computation
extern CalcCondition DrawnCond;  // region of the grid now in IterMap
extern std::int32_t HalfSize;    // N: the grid is (2N + 1) × (2N + 1) points
extern std::int32_t MaxIter;     // iteration limit, 1 … kMaxIterLimit
extern IterGrid IterMap;         // counts 1 … MaxIter + 1 (0 before the first computation)
extern PaletteTable PalTable;
extern bool DrawDone;  // a drawing has finished since the last computation began
extern bool Dragging;  // a mouse selection is in progress

// Zoom selection corners, in Picture1's user units.
extern float DragStartX;
extern float DragStartY;
extern float DragEndX;
extern float DragEndY;

// Benchmark and timing results.
extern float CalcSeconds;        // seconds of one computation
extern std::string MflopsText;   // the benchmark's MFLOPS figure, formatted
extern bool BenchInvalid;        // the last benchmark computed wrong counts: no figure is valid

// Puts every piece of state back to its value before start-up (all zero,
// flags false, empty text). Tests call it between cases.
void resetEngineState();

// Fills IterMap for CalcCond, HalfSize and MaxIter, then copies CalcCond into
// DrawnCond. Touches no window and processes no events. Drawing stops points
// that cycle early; the benchmark asks for the full work (the counts are the
// same).
void CalcMandel(EngineWork work = EngineWork::StopCycles);

// Where DrawMandel paints, and how it lets waiting window events through once
// at its end. The main window attaches itself at start-up.
void attachPicture(PictureSurface* picture, std::function<void()> doEvents);

// Index into PalTable for a count m under the limit maxIter.
int paletteIndex(std::int32_t m, std::int32_t maxIter);

// Colour value of PalTable entry k, components clamped to 0 … 255.
Colour paletteColour(const PaletteTable& table, int k);

// Colours IterMap through PalTable onto the attached picture, column by
// column with a repaint after each, sets DrawDone and processes events once.
void DrawMandel();

}  // namespace quilfen
