#include "runtime/type_table.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace brek::Brek_runtime {

namespace {

// Indexes are entry numbers; the comments give them for the class entries
// and for the records and enumerations, which ",base:", ",struc:" and
// ",items:" refer to.
const char* const kTypes[TYPE_TABLE_SIZE] = {
    // the root class and the basic types
    "{|Object}",
    "BOOL|EAN",
    "INT|EGER",
    "REAL",
    "STR|ING",
    // runtime and base library
    "{Basic_types},struc:117,count:1",  // 5
    "{Mathematics}",  // 6
    "{NATIVE_String_functions}",  // 7
    "{NATIVE_Long_int}",  // 8
    "{Date_time},struc:159,count:2",  // 9
    "{Geometry},struc:171,count:2",  // 10
    "{Sorting}",  // 11
    "{Colors},struc:161,count:1",  // 12
    "{Global_var}",  // 13
    "{Random_soft},struc:173,count:1",  // 14
    "{Sound},struc:158,count:1",  // 15
    "{NATIVE_process}",  // 16
    "{System_functions},struc:162,count:3",  // 17
    "{File_path},struc:175,count:1",  // 18
    "{Localize_str}",  // 19
    "{Config},struc:165,count:1",  // 20
    "{Clipboard},struc:166,count:1",  // 21
    "{Thread},struc:186,count:1",  // 22
    "{Text_file}",  // 23
    // forms and standard controls
    "{Brek_form}",  // 24
    "{Screen}",  // 25
    "{Control|_on_form},struc:134,count:1",  // 26
    "{Form|_containing_controls},struc:120,count:14",  // 27
    "{Form_common|_with_basic_handlers},base:27",  // 28
    "{Dialog|_modal_form},base:27",  // 29
    "{Dialog_common},base:29",  // 30
    "{Long_operation},base:27,struc:167,count:1",  // 31
    "{Menu|_create}",  // 32
    "{Timer|_periodical},base:26",  // 33
    "{Label|_control},base:26",  // 34
    "{Button|_control},base:26",  // 35
    "{Checkbox|_control},base:26",  // 36
    "{Edit|_control},base:26",  // 37
    "{Memo|_control},base:26",  // 38
    "{Combo|box_control},base:26",  // 39
    "{Listbox|_control},base:26",  // 40
    "{Date|_picker},base:26",  // 41
    "{Progress|_bar},base:26",  // 42
    "{Dialog_file},base:26",  // 43
    "{Dialog_dir|ectory_select},base:26,struc:193,count:1",  // 44
    // drawing and painted controls
    "{Brek_font}",  // 45
    "{Font|_tool},struc:148,count:2",  // 46
    "{HSV},struc:139,count:4",  // 47
    "{Brek_drawing}",  // 48
    "{Canvas|_to_draw},struc:143,count:5",  // 49
    "{Bitmap|_image}",  // 50
    "{Icon},base:50",  // 51
    "{Bitmap_direct},base:50",  // 52
    "{Paintbox|_control},base:26,struc:135,count:2",  // 53
    "{Paint_lines|_scrollable},base:53",  // 54
    "{Paint_table},base:54,struc:150,count:3",  // 55
    "{Paint_tree},base:54,struc:153,count:1",  // 56
    "{Paint_tabs|_scrollable},base:53,struc:154,count:1",  // 57
    "{Paint_turtle|_glyph},base:53,struc:155,count:1",  // 58
    "{Separator},base:53,struc:137,count:2",  // 59
    "{Select_dir|ectory_dialog},base:29",  // 60
    // runtime, base library and forms (continued)
    "{Structure_any}",  // 61
    "{Handler_ticks}",  // 62
    "{Message_dialog},base:30",  // 63
    "{Column_panel}",  // 64
    "{Language_file},struc:191,count:1",  // 65
    "{Command_line}",  // 66
    "{Process},struc:192,count:1",  // 67
    "{Directory_list}",  // 68
    "{Recycle_bin}",  // 69
    "{Deadline_list},struc:190,count:1",  // 70
    "{Text_encoding}",  // 71
    // streams and the rest of the base library
    "{Stream},struc:156,count:2",  // 72
    "{File_stream},base:72,struc:183,count:1",  // 73
    "{Memory_stream},base:72,struc:184,count:1",  // 74
    "{Memory_stream_contig},base:72",  // 75
    "{Long_int},struc:174,count:1",  // 76
    "{Drop_files}",  // 77
    "{Monitor_list},struc:187,count:1",  // 78
    "{Window_placement},struc:188,count:1",  // 79
    "{Key_state}",  // 80
    "{Drag_glide}",  // 81
    "{Table_painter}",  // 82
    // images and image formats
    "{Image|_load},base:22",  // 83
    "{Header_reader}",  // 84
    "{Gif|_animated_image},struc:176,count:6",  // 85
    "{Gif_frames}",  // 86
    "{Lzw}",  // 87
    "{Gif_writer}",  // 88
    "{Color_quantizer},struc:189,count:1",  // 89
    "{Image_files}",  // 90
    "{Bmp}",  // 91
    "{Jpeg},struc:182,count:1",  // 92
    "{Png}",  // 93
    "{Pcd}",  // 94
    "{Pcx}",  // 95
    "{Psd}",  // 96
    "{Tga}",  // 97
    "{Tiff}",  // 98
    "{WebP}",  // 99
    "{Xpm}",  // 100
    // viewer
    "{Collage_viewer},base:27,struc:118,count:0",  // 101
    "{Additional_collage},struc:118,count:2",  // 102
    "{Rescan_dir|ectory},base:22",  // 103
    "{Move_to_dirs},base:27,struc:194,count:1",  // 104
    "{Dialog_replace|_file_exists},base:30",  // 105
    "{Clipboard_images}",  // 106
    "{Version_history}",  // 107
    // printing
    "{Report},struc:195,count:12",  // 108
    "{Report_print_pages},base:108",  // 109
    "{Printer}",  // 110
    "{NATIVE_Printers}",  // 111
    "{Printer_device}",  // 112
    "{Poster_layout},struc:207,count:1",  // 113
    "{Print_dialog},base:30",  // 114
    "{Print_preview},base:53",  // 115
    "{Edit_collage_print},base:28,struc:208,count:1",  // 116
    // records and enumerations, grouped by the class that declares them
    "{bool},items:0,count:2",  // 117
    "{mode_view},items:279,count:3",  // 118
    "{sort_by},items:282,count:5",  // 119
    "{key_info|rmation}",  // 120
    "{sizes_col|umn}",  // 121
    "{c_rep|osition_control}",  // 122
    "{event_q|ueue_item}",  // 123
    "{positioning},items:287,count:3",  // 124
    "{sizing|_options},items:290,count:3",  // 125
    "{reason_closing},items:293,count:3",  // 126
    "{layout|_on_form},items:296,count:5",  // 127
    "{controls_layout|_mainly_for_horizontal_columns},items:301,count:9",  // 128
    "{mobile_config|uration},items:310,count:2",  // 129
    "{button|_mouse},items:312,count:6",  // 130
    "{action|_accept_by_default},items:318,count:2",  // 131
    "{event|_kind},items:320,count:27",  // 132
    "{state|_of_form},items:347,count:3",  // 133
    "{text_align|ment},items:350,count:3",  // 134
    "{cursor|_shapes},items:353,count:14",  // 135
    "{border|_style},items:367,count:4",  // 136
    "{direction|_line},items:371,count:2",  // 137
    "{style_sepator|_line},items:373,count:3",  // 138
    "{rgba_order},items:376,count:2",  // 139
    "{system_color},items:378,count:25",  // 140
    "{rgb|a_items_of_color},items:490,count:4",  // 141
    "{hsv|_values}",  // 142
    "{pen_style},items:403,count:2",  // 143
    "{brush_style},items:405,count:8",  // 144
    "{units|_measure_graphics},items:413,count:4",  // 145
    "{quality|_drawing_lines_shapes},items:417,count:3",  // 146
    "{arc|_information}",  // 147
    "{font_attr|ibute},items:420,count:4",  // 148
    "{font_info}",  // 149
    "{drawing_item|_set_on_different_stages_of_paint}",  // 150
    "{column|_info}",  // 151
    "{table_row}",  // 152
    "{tree_node}",  // 153
    "{tab|_item}",  // 154
    "{glyph_command}",  // 155
    "{encoding},items:424,count:8",  // 156
    "{disp|osition_from},items:482,count:3",  // 157
    "{play_command},items:432,count:3",  // 158
    "{date_time}",  // 159
    "{day|_of_week},items:435,count:7",  // 160
    "{colors},items:442,count:16",  // 161
    "{special_con|stant_folder},items:458,count:17",  // 162
    "{power_AC_line},items:546,count:3",  // 163
    "{power_battery},items:549,count:5",  // 164
    "{area|_where_configuration_is_stored},items:475,count:2",  // 165
    "{file_drop_op|eration},items:477,count:2",  // 166
    "{long_operation|_state},items:479,count:3",  // 167
    "{flags_name},items:494,count:3",  // 168
    "{type_kind},items:497,count:9",  // 169
    "{kind_info},items:506,count:5",  // 170
    "{point|_coordinates}",  // 171
    "{rect|angle}",  // 172
    "{seed}",  // 173
    "{long_int}",  // 174
    "{file_info|rmation}",  // 175
    "{gif_code|_from},items:258,count:3",  // 176
    "{disposal|_method},items:261,count:4",  // 177
    "{extension_type},items:265,count:5",  // 178
    "{gif_frame}",  // 179
    "{extension}",  // 180
    "{extensions|_list}",  // 181
    "{reduce_size|_of_jpeg_while_load},items:270,count:4",  // 182
    "{mode_file|_stream},items:485,count:5",  // 183
    "{chunk|_of_memory}",  // 184
    "{reduce_size|_of_image_while_load},items:274,count:2",  // 185
    "{priority},items:276,count:3",  // 186
    "{monitor|_area}",  // 187
    "{placement}",  // 188
    "{palette_entry}",  // 189
    "{deadline}",  // 190
    "{language_entry}",  // 191
    "{process_info}",  // 192
    "{drive_type},items:539,count:7",  // 193
    "{dir|ectory_target}",  // 194
    "{page_attributes}",  // 195
    "{command_info}",  // 196
    "{cell|_of_band}",  // 197
    "{margins_for_cell}",  // 198
    "{align_horiz|ontal},items:511,count:3",  // 199
    "{align_vert|ical},items:514,count:3",  // 200
    "{wrap|_words_syllabels},items:517,count:3",  // 201
    "{align_text},items:520,count:4",  // 202
    "{vertical_align},items:524,count:3",  // 203
    "{move_pos|ition_direction},items:527,count:4",  // 204
    "{page_size},items:531,count:4",  // 205
    "{kind_command|_to_print},items:535,count:4",  // 206
    "{poster_page}",  // 207
    "{card|_with_image}",  // 208
    "{byte},items:2,count:256",  // 209
    "",
};

// Item names after those of bool and byte, one enumeration a line, in item-table order.
const char* const kNamedItems[] = {
    // gif_code, from 258
    "'GIF_BOTH'", "'GIF_NATIVE'", "'GIF_Brek'",
    // disposal, from 261
    "'UNDEFINED'", "'LEAVE'", "'RESTORE_BACK'", "'RESTORE_PREV'",
    // extension_type, from 265
    "'UNKNOWN'", "'GRAPHIC'", "'PLAIN_TEXT'", "'APPLICATION'", "'COMMENT'",
    // reduce_size_jpeg, from 270
    "'FULL'", "'HALF'", "'QUAR'", "'EIGH'",
    // reduce_size_image, from 274
    "'FULL_SIZE'", "'REDUCED_SIZE'",
    // priority, from 276
    "'LOW_PRIORITY'", "'NORMAL_PRIORITY'", "'HIGH_PRIORITY'",
    // mode_view, from 279
    "'COLLAGE'", "'THUMB'", "'CAPTIONS'",
    // sort_by, from 282
    "'BY_DIM'", "'BY_NAME'", "'BY_SIZE'", "'BY_CREATE'", "'BY_MODIFY'",
    // positioning, from 287
    "'KEEP_ON_SCREEN'", "'CENTER_ON_SCREEN'", "'POSITION_AS_IS'",
    // sizing, from 290
    "'FIT_TO_DISPLAY'", "'FIT_TO_DESKTOP'", "'SIZE_AS_IS'",
    // reason_closing, from 293
    "'USER'", "'PROGRAM'", "'SHUTDOWN'",
    // layout, from 296
    "'CENTER'", "'LEFT'", "'RIGHT'", "'TOP'", "'BOTTOM'",
    // controls_layout, from 301
    "'CONTROLS_LEFT'", "'CONTROLS_RIGHT'", "'CONTROLS_CENTER'", "'CONTROLS_JUSTIFY'", "'CONTROLS_LEFT_LAST_RIGHT'", "'CONTROLS_TOP_TO_BOTTOM'", "'CONTROLS_VERTICAL_2'", "'CONTROLS_LEFT_LABELS_ABOVE'", "'CONTROLS_MANUAL'",
    // mobile_config, from 310
    "'SINGLE_TOP_BOTTOM'", "'ALL_TOP_BOTTOM'",
    // button, from 312
    "'NO_B'", "'LMB'", "'RMB'", "'MMB'", "'XB1'", "'XB2'",
    // action, from 318
    "'ACCEPT'", "'DECLINE'",
    // event, from 320
    "'CLICK'", "'CLOSING'", "'CLOSED'", "'ACTIVATED'", "'GET_INFO'", "'VALUE_CHANGE'", "'SELECTION_CHANGE'", "'RESIZE'", "'MOVED'", "'SHOWN'", "'MOUSE_MOVE'", "'MOUSE_DOWN'", "'MOUSE_UP'", "'MOUSE_DOUBLE_CLICK'", "'MOUSE_WHEEL'", "'KEY_DOWN'", "'KEY_UP'", "'KEY_PRESS'", "'TIMER'", "'ANIMATION'", "'MENU'", "'BEFORE_PAINT'", "'PAINT'", "'AFTER_PAINT'", "'KEYBOARD_FOCUS'", "'SCROLLED'", "'COMMAND'",
    // state, from 347
    "'NORMAL'", "'MINIMIZED'", "'MAXIMIZED'",
    // text_align, from 350
    "'LEFT_ALIGN'", "'CENTER_ALIGN'", "'RIGHT_ALIGN'",
    // cursor, from 353
    "'ARROW'", "'IBEAM'", "'NO'", "'CROSS'", "'HAND'", "'WAIT'", "'APP_START'", "'UP_ARROW'", "'SIZE_ALL'", "'SIZE_WE'", "'SIZE_NS'", "'SIZE_NESW'", "'SIZE_NWSE'", "'HELP'",
    // border, from 367
    "'NO_BORDER'", "'SINGLE_BORDER'", "'RAISED_BORDER'", "'SUNKEN_BORDER'",
    // direction, from 371
    "'HORIZONTAL_LINE'", "'VERTICAL_LINE'",
    // style_sepator, from 373
    "'FLAT'", "'RAISED'", "'LOWERED'",
    // rgba_order, from 376
    "'R_G_B'", "'B_G_R'",
    // system_color, from 378
    "'ACTIVE_CAPTION'", "'ACTIVE_GRADIENT'", "'ACTIVE_BORDER'", "'ACTIVE_TEXT'", "'BUTTON'", "'BUTTON_TEXT'", "'BUTTON_HIGHLIGHT'", "'BUTTON_SHADOW'", "'DESKTOP'", "'GRAY_TEXT'", "'HELP'", "'HELP_TEXT'", "'INACTIVE_CAPTION'", "'INACTIVE_GRADIENT'", "'INACTIVE_BORDER'", "'INACTIVE_TEXT'", "'MENU'", "'MENU_TEXT'", "'MENU_HIGHLIGHT'", "'SCROLLBAR'", "'WINDOW'", "'WINDOW_TEXT'", "'WINDOW_FRAME'", "'HIGHLIGHT'", "'HIGHLIGHT_TEXT'",
    // pen_style, from 403
    "'SOLID_PEN'", "'CLEAR_PEN'",
    // brush_style, from 405
    "'SOLID_BRUSH'", "'CLEAR_BRUSH'", "'HORIZONTAL'", "'VERTICAL'", "'DIAGONAL'", "'BDIAGONAL'", "'CROSS'", "'DIAGONAL_CROSS'",
    // units, from 413
    "'POINTS'", "'PIXELS'", "'INCHES'", "'CENTIMETERS'",
    // quality, from 417
    "'HIGH'", "'MEDIUM'", "'LOW'",
    // font_attr, from 420
    "'BOLD'", "'ITALIC'", "'UNDERLINE'", "'STRIKE'",
    // encoding, from 424
    "'DEFAULT'", "'ASCII'", "'UTF8'", "'UTF16'", "'UTF16_BIG'", "'UTF7'", "'UTF32'", "'UTF32_BIG'",
    // play_command, from 432
    "'PLAY_ONCE'", "'PLAY_LOOP'", "'PLAY_STOP'",
    // day, from 435
    "'SUNDAY'", "'MONDAY'", "'TUESDAY'", "'WEDNESDAY'", "'THURSDAY'", "'FRIDAY'", "'SATURDAY'",
    // colors, from 442
    "'BLACK'", "'MAROON'", "'GREEN'", "'OLIVE'", "'NAVY'", "'PURPLE'", "'TEAL'", "'GRAY'", "'SILVER'", "'RED'", "'LIME'", "'YELLOW'", "'BLUE'", "'FUCHSIA'", "'AQUA'", "'WHITE'",
    // special_con, from 458
    "'SF_DESKTOP'", "'SF_PROGRAMS'", "'SF_DOCUMENTS'", "'SF_FAVORITES'", "'SF_STARTUP'", "'SF_RECENT'", "'SF_SENDTO'", "'SF_START_MENU'", "'SF_MUSIC'", "'SF_VIDEO'", "'SF_DESKTOP_DIRECTORY'", "'SF_FONTS'", "'SF_TEMPLATES'", "'SF_APPDATA'", "'SF_LOCAL_APPDATA'", "'SF_PICTURES'", "'SF_PROFILE'",
    // area, from 475
    "'USER'", "'MACHINE'",
    // file_drop_op, from 477
    "'COPY'", "'MOVE'",
    // long_operation, from 479
    "'LONG_OP_IDLE'", "'LONG_OP_SHOWN'", "'LONG_OP_CANCELLED'",
    // disp, from 482
    "'BEGINNING'", "'CURRENT'", "'ENDING'",
    // mode_file, from 485
    "'READ'", "'WRITE'", "'READ_WRITE'", "'READ_ANYWAY'", "'READ_WRITE_ANYWAY'",
    // rgb, from 490
    "'R'", "'G'", "'B'", "'A'",
    // flags_name, from 494
    "'SHORT_NAME'", "'LONG_NAME'", "'BEAM_SEPARATED'",
    // type_kind, from 497
    "'RTTI_BOOL'", "'RTTI_BYTE'", "'RTTI_INT'", "'RTTI_REAL'", "'RTTI_STR'", "'RTTI_ENUM'", "'RTTI_RECORD'", "'RTTI_OBJECT'", "'RTTI_STRUCTURE'",
    // kind_info, from 506
    "'TYPE_INDEX'", "'IS_ARRAY'", "'IS_FIXED'", "'IS_PUBLIC'", "'SIZE_ARRAY'",
    // align_horiz, from 511
    "'ALIGN_LEFT'", "'ALIGN_CENTER'", "'ALIGN_RIGHT'",
    // align_vert, from 514
    "'ALIGN_TOP'", "'ALIGN_MIDDLE'", "'ALIGN_BOTTOM'",
    // wrap, from 517
    "'NO_WRAP'", "'WRAP_WORDS'", "'WRAP_SYLLABLES'",
    // align_text, from 520
    "'TEXT_LEFT'", "'TEXT_CENTER'", "'TEXT_RIGHT'", "'TEXT_JUSTIFY'",
    // vertical_align, from 524
    "'V_TOP'", "'V_CENTER'", "'V_BOTTOM'",
    // move_pos, from 527
    "'MOVE_RIGHT'", "'MOVE_DOWN'", "'MOVE_LEFT'", "'MOVE_UP'",
    // page_size, from 531
    "'A4'", "'A3'", "'A5'", "'CUSTOM_SIZE'",
    // kind_command, from 535
    "'RECT'", "'LINE'", "'TEXT'", "'COUNT'",
    // drive_type, from 539
    "'UNKNOWN'", "'NOT_EXIST'", "'REMOVABLE'", "'FIXED'", "'REMOTE'", "'CD_DVD'", "'RAM_DISK'",
    // power_AC_line, from 546
    "'AC_OFFLINE'", "'AC_ONLINE'", "'AC_UNKNOWN'",
    // power_battery, from 549
    "'BATTERY_HIGH'", "'BATTERY_LOW'", "'BATTERY_CRITICAL'", "'BATTERY_CHARGING'", "'BATTERY_NONE'",
};

const std::vector<std::string>& items() {
  static const std::vector<std::string> table = [] {
    std::vector<std::string> t;
    t.reserve(ITEM_TABLE_SIZE);
    t.push_back("'FALSE'");
    t.push_back("'TRUE'");
    for (int b = 0; b < 256; ++b) {
      char text[8];
      std::snprintf(text, sizeof text, "'%02X'", b);
      t.push_back(text);
    }
    for (const char* name : kNamedItems) t.push_back(name);
    return t;
  }();
  return table;
}

// The value of "<key><digits>" in text, or -1 when the key is absent.
int64_t field_value(const char* text, const char* key) {
  const char* at = std::strstr(text, key);
  if (!at) return -1;
  at += std::strlen(key);
  int64_t v = 0;
  bool any = false;
  for (; *at >= '0' && *at <= '9'; ++at) {
    v = v * 10 + (*at - '0');
    any = true;
    if (v > ITEM_TABLE_SIZE) break;  // no entry refers this far
  }
  return any ? v : -1;
}

}  // namespace

const char* type_text(int64_t index) {
  if (static_cast<uint64_t>(index) >= static_cast<uint64_t>(TYPE_TABLE_SIZE)) return "";
  return kTypes[index];
}

const std::string& item_name(int64_t index) {
  static const std::string empty;
  const auto& t = items();
  if (static_cast<uint64_t>(index) >= t.size()) return empty;
  return t[static_cast<size_t>(index)];
}

int32_t type_kind(int64_t index) {
  const char* text = type_text(index);
  // Only the part before the first "," tells the kind, except for the test
  // for ",items:", which looks at the whole entry.
  if (text[0] != '{') return 0;
  // Whatever equals its upper-case form (a capital, "|", the root's
  // nameless start) marks a class; types of the language start lower-case.
  char c = text[1];
  if (!(c >= 'a' && c <= 'z')) return 3;
  return std::strstr(text, ",items:") ? 1 : 2;
}

std::string type_name(int64_t index, flags_name which) {
  std::string text = type_text(index);
  // The name stands between the braces, or before the first "," of a basic
  // type.
  std::string inner;
  if (!text.empty() && text[0] == '{') {
    size_t end = text.find('}');
    inner = text.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  } else {
    inner = text.substr(0, text.find(','));
  }
  switch (which) {
    case flags_name::SHORT_NAME:
      return inner.substr(0, inner.find('|'));
    case flags_name::LONG_NAME: {
      std::string full;
      for (char ch : inner)
        if (ch != '|') full += ch;
      return full;
    }
    case flags_name::BEAM_SEPARATED:
      break;
  }
  return inner;
}

std::string enum_item_name(int64_t index, int64_t value) {
  if (type_kind(index) != 1) return "";
  const char* text = type_text(index);
  int64_t first = field_value(text, ",items:");
  int64_t count = field_value(std::strstr(text, ",items:"), ",count:");
  if (first < 0 || count < 0 || value < 0 || value >= count) return "";
  return item_name(first + value);
}

}  // namespace brek::Brek_runtime
