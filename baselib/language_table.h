#pragma once
// The language table: positions of the interface texts and their built-in
// English wording. Code reads a text by its position (Localize_str::text), so
// loading a language changes what every window shows without any lookup by
// key. One namespace per section; SECTION is the section's own entry.

namespace brek::lng {

inline constexpr int ENTRY_COUNT = 177;
inline constexpr int SECTION_COUNT = 10;

namespace Collage_viewer {
inline constexpr int SECTION = 0;
inline constexpr int files = 1;
inline constexpr int Scale = 2;
inline constexpr int Increase = 3;
inline constexpr int Wheel_dn = 4;
inline constexpr int Decrease = 5;
inline constexpr int Wheel_up = 6;
inline constexpr int Reset = 7;
inline constexpr int Inverse = 8;
inline constexpr int Rotate_left = 9;
inline constexpr int Left_key = 10;
inline constexpr int Rotate_rt = 11;
inline constexpr int Right_key = 12;
inline constexpr int Flip_h = 13;
inline constexpr int Left2 = 14;
inline constexpr int Flip_v = 15;
inline constexpr int Up2 = 16;
inline constexpr int Inc_alpha = 17;
inline constexpr int Dn = 18;
inline constexpr int Dec_alpha = 19;
inline constexpr int Up = 20;
inline constexpr int Language = 21;
inline constexpr int Exit_1 = 22;
inline constexpr int LandR1 = 23;
inline constexpr int Refresh = 24;
inline constexpr int Language2 = 25;
inline constexpr int Exit_2 = 26;
inline constexpr int LandR2 = 27;
}  // namespace Collage_viewer

namespace Image_load {
inline constexpr int SECTION = 28;
inline constexpr int CanNotLoadToSave = 29;
}  // namespace Image_load

namespace Additional_collage {
inline constexpr int SECTION = 30;
inline constexpr int Copy = 31;
inline constexpr int Paste = 32;
inline constexpr int Save_as = 33;
inline constexpr int Auto_save = 34;
inline constexpr int Move_to_dir = 35;
inline constexpr int Delete_file = 36;
inline constexpr int Edit_collage_print = 37;
inline constexpr int Cut_rect = 38;
inline constexpr int LMdrag = 39;
inline constexpr int Explore_dir_1 = 40;
inline constexpr int SingleAlways = 41;
inline constexpr int FullScreen = 42;
inline constexpr int Paste_2 = 43;
inline constexpr int Move_to_dir_2 = 44;
inline constexpr int Delete_file_2 = 45;
inline constexpr int Explore_dir_2 = 46;
inline constexpr int View_mode = 47;
inline constexpr int Collage_mode = 48;
inline constexpr int Thumb_mode = 49;
inline constexpr int Captions_mode = 50;
inline constexpr int Order_by = 51;
inline constexpr int by_dimensions = 52;
inline constexpr int by_name = 53;
inline constexpr int by_size = 54;
inline constexpr int by_create_date = 55;
inline constexpr int by_modify_date = 56;
inline constexpr int descendant = 57;
inline constexpr int Resize_thumb = 58;
inline constexpr int RMBdrag = 59;
inline constexpr int FullScreen2 = 60;
inline constexpr int Nothing_save = 61;
inline constexpr int Delete_failed = 62;
inline constexpr int Copy_failed = 63;
inline constexpr int Paste_failed = 64;
inline constexpr int Images = 65;
inline constexpr int Save_fail = 66;
inline constexpr int Modified = 67;
inline constexpr int JustDrop = 68;
inline constexpr int OrClick = 69;
inline constexpr int Changed_meanwhile = 70;
inline constexpr int No_file_manager = 71;
}  // namespace Additional_collage

namespace Long_operation {
inline constexpr int SECTION = 72;
inline constexpr int Started = 73;
inline constexpr int Pause1 = 74;
inline constexpr int Cancel = 75;
inline constexpr int PleaseWait = 76;
inline constexpr int click = 77;
inline constexpr int closing = 78;
inline constexpr int closed = 79;
inline constexpr int activated = 80;
inline constexpr int dialog_answer = 81;
inline constexpr int value_change = 82;
inline constexpr int selection_change = 83;
inline constexpr int resize = 84;
inline constexpr int moved = 85;
inline constexpr int shown = 86;
inline constexpr int mouse_move = 87;
inline constexpr int mouse_down = 88;
inline constexpr int mouse_up = 89;
inline constexpr int mouse_double_click = 90;
inline constexpr int mouse_wheel = 91;
inline constexpr int key_down = 92;
inline constexpr int key_up = 93;
inline constexpr int key_press = 94;
inline constexpr int timer_tick = 95;
inline constexpr int animation_control = 96;
inline constexpr int menu_item = 97;
inline constexpr int keyboard_focus = 98;
inline constexpr int before_paint = 99;
inline constexpr int paint = 100;
inline constexpr int after_paint = 101;
inline constexpr int scrolled = 102;
inline constexpr int command = 103;
inline constexpr int Pause = 104;
inline constexpr int Continue = 105;
inline constexpr int ClickOK = 106;
}  // namespace Long_operation

namespace Form_containing_controls {
inline constexpr int SECTION = 107;
inline constexpr int Yes = 108;
inline constexpr int No = 109;
inline constexpr int Ok = 110;
}  // namespace Form_containing_controls

namespace Move_to_dirs {
inline constexpr int SECTION = 111;
inline constexpr int Select_where_to_move_to = 112;
inline constexpr int Ignored = 113;
inline constexpr int Move_failed = 114;
inline constexpr int Select_target = 115;
inline constexpr int Explore_dir = 116;
inline constexpr int Restore_move = 117;
inline constexpr int Backsp = 118;
inline constexpr int Not_found = 119;
}  // namespace Move_to_dirs

namespace Edit_collage_print {
inline constexpr int SECTION = 120;
inline constexpr int Zoom = 121;
inline constexpr int Select = 122;
inline constexpr int Selection = 123;
inline constexpr int AddText = 124;
inline constexpr int Print = 125;
inline constexpr int Save = 126;
inline constexpr int EditCollagePrint_caption = 127;
inline constexpr int ZoomIn = 128;
inline constexpr int CtrWheelDn_CtrlPlus = 129;
inline constexpr int CtrlWheelUp_CtrlMinus = 130;
inline constexpr int ScaleReset = 131;
inline constexpr int SelectAll = 132;
inline constexpr int InvertSel = 133;
inline constexpr int ResetSel = 134;
inline constexpr int SelNext = 135;
inline constexpr int SelPrev = 136;
inline constexpr int Duplicate = 137;
inline constexpr int Delete = 138;
inline constexpr int Rotate = 139;
inline constexpr int RotLeft = 140;
inline constexpr int CtrlLeftArrow = 141;
inline constexpr int Rotright = 142;
inline constexpr int CtrlRight = 143;
inline constexpr int Arbitrary = 144;
inline constexpr int Flip = 145;
inline constexpr int FlipHor = 146;
inline constexpr int FlipVert = 147;
inline constexpr int Zorder = 148;
inline constexpr int ToTop = 149;
inline constexpr int DblClkLMB = 150;
inline constexpr int MoveUp = 151;
inline constexpr int CtrlUp = 152;
inline constexpr int MoveDown = 153;
inline constexpr int CtrlDown = 154;
inline constexpr int ToBottom = 155;
inline constexpr int DoubleClickRMB = 156;
inline constexpr int Align = 157;
inline constexpr int AlignLeft = 158;
inline constexpr int AlignRight = 159;
inline constexpr int AlignTop = 160;
inline constexpr int AlignBottom = 161;
inline constexpr int underline = 162;
}  // namespace Edit_collage_print

namespace Dialog_replace_file_exists {
inline constexpr int SECTION = 163;
inline constexpr int rename = 164;
inline constexpr int cancel = 165;
inline constexpr int already_exists = 166;
}  // namespace Dialog_replace_file_exists

namespace Print_dialog {
inline constexpr int SECTION = 167;
inline constexpr int As_images = 168;
inline constexpr int PrintCollage = 169;
inline constexpr int Collage_title = 170;
inline constexpr int please_reselect = 171;
inline constexpr int default_printer = 172;
}  // namespace Print_dialog

namespace Select_directory_dialog {
inline constexpr int SECTION = 173;
inline constexpr int OK = 174;
inline constexpr int Cancel = 175;
inline constexpr int Select_directory = 176;
}  // namespace Select_directory_dialog

// One entry of the built-in table: a section (key "[{Class}]", empty
// text) or a key with its English text.
struct Language_entry {
  const char* key;
  const char* text;
};

// The built-in English table in its fixed order.
extern const Language_entry built_in_table[ENTRY_COUNT];

}  // namespace brek::lng
