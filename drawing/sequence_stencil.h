// Where the sequence stencil's shapes go round a laid-out diagram, in
// inches: the lifelines dropped from their heads, the activation bars, the
// fragments' frames.  The engine's sequence drawing and the command's draw
// the same picture from them.
#pragma once

namespace drawing::sequence_stencil {

inline constexpr double kDropOffset = 0.1875;    // a lifeline is dropped this far left of and below its node
inline constexpr double kSelfMessageDrop = 0.1;
inline constexpr double kBoxWidth = 1.25;        // the Object Lifeline master's size
inline constexpr double kBoxHeight = 0.375;
inline constexpr double kBarWidth = 0.1;         // the Activation master's width
inline constexpr double kBarAbove = 0.04;        // a bar starts this far above the message that starts it
inline constexpr double kBarBelow = 0.06;        // and ends this far below its last message
inline constexpr double kFrameAbove = 0.1;       // a fragment's edge above its row
inline constexpr double kFrameBelow = 0.04;      // its bottom edge above its closing row
inline constexpr double kFrameMargin = 0.55;     // beside its outermost lifelines, less for each one round it
inline constexpr double kFrameInset = 0.08;
inline constexpr double kFrameFontSize = 8.0;    // the Fragment master's text size
inline constexpr double kGuardHeight = 0.16;     // an operand's dashed line with its guard below it

}  // namespace drawing::sequence_stencil
