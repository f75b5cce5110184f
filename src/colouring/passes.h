#pragma once

#include "frame/menutree.h"

namespace platform {
class RichTextBox;
}

namespace colouring {

// The four colouring passes. Each reads its switch, marks it in a menu,
// and colours every run from an opener to the next closer; an error (a
// missing closer, a negative length) ends the pass and is raised to the
// caller, the runs coloured before it keeping their colour.
void htmlTagPass(platform::RichTextBox &box, frame::Tree marks = frame::Tree::Main);
void editAreaPass(platform::RichTextBox &box);
void variablePass(platform::RichTextBox &box);
void commentPass(platform::RichTextBox &box);

// The colours, 0xBBGGRR.
constexpr unsigned kTagColour = 0xFF0000;      // blue
constexpr unsigned kEditAreaColour = 0x0000FF; // red
constexpr unsigned kVariableColour = 0xC000C0; // purple
constexpr unsigned kCommentColour = 0x00C000;  // green

// A pass's on/off switch: its key in section "settings" and the pair of
// menu items that shows it.
struct Switch
{
    const char *key;
    const char *onItem;
    const char *offItem;
};
// The four switches, in the order the passes run.
extern const Switch kSwitches[4];
const Switch &tagSwitch();

// The eight switch items of each menu.
void registerSwitchCommands();

} // namespace colouring
