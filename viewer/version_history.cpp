#include "viewer/version_history.h"

#include "baselib/string_functions.h"

namespace brek::Version_history {

namespace {

const char* const TABLE[] = {
    "UPDATED (2023-1-18), VER \"6.2\":",
    "\tADDED: \"Name clash dialog when a moved file already exists in the target folder\",",
    "\t\t\"Диалог совпадения имён, если перемещаемый файл уже есть в целевой папке\";",
    "\tADDED: \"The Move to dir window remembers nine target folders\",",
    "\t\t\"Окно перемещения в папку помнит девять целевых папок\";",
    "\tFIXED: \"Undo of a move never overwrites a file\",",
    "\t\t\"Отмена перемещения никогда не перезаписывает файл\";",
    "",
    "UPDATED (2023-2-21), VER \"6.3\":",
    "\tADDED: \"Collage print editor: cards of images on a sheet, \",",
    "\t\t\"printed as a poster over several pages\",",
    "\t\t\"Редактор печати коллажей: карточки изображений на листе, \",",
    "\t\t\"печать плакатом на нескольких страницах\";",
    "\tADDED: \"Print preview of the poster pages\",",
    "\t\t\"Предварительный просмотр страниц плаката\";",
    "",
    "UPDATED (2023-4-12), VER \"6.4\":",
    "\tADDED: \"Descending order of the file list\",",
    "\t\t\"Сортировка списка файлов по убыванию\";",
    "\tADDED: \"Thumbnails are resized by dragging with the right mouse button\",",
    "\t\t\"Размер миниатюр меняется перетаскиванием правой кнопкой мыши\";",
    "\tCHANGED: \"The thumbnail size is kept between runs\",",
    "\t\t\"Размер миниатюр сохраняется между запусками\";",
    "",
    "UPDATED (2023-4-27), VER \"6.5\":",
    "\tADDED: \"Ctrl + left mouse drag cuts a rectangle of the image to the clipboard\",",
    "\t\t\"Ctrl + перетаскивание левой кнопкой вырезает часть изображения в буфер обмена\";",
    "\tADDED: \"Hold Ctrl to fit the single image almost to the window borders\",",
    "\t\t\"Удерживайте Ctrl, чтобы вписать изображение почти до краёв окна\";",
    "\tFIXED: \"Wheel steps near the window edges\",",
    "\t\t\"Шаги колеса мыши у краёв окна\";",
    "",
    "UPDATED (2023-8-26), VER \"1.0 Solvarre\":",
    "\tFIXED: \"Building a collage when some files cannot be read\",",
    "\t\t\"Построение коллажа, когда часть файлов не читается\";",
    "\tFIXED: \"Building a collage of images with very different width to height ratios\",",
    "\t\t\"Построение коллажа из изображений с очень разным отношением сторон\";",
    "\tADDED: \"Option to open single images only, without the directory view\",",
    "\t\t\"Возможность открывать только одиночные изображения, без просмотра папки\";",
    "\tCHANGED: \"New version numbering\",",
    "\t\t\"Новая нумерация версий\";",
    "",
    "UPDATED (2023-12-2), VER \"1.1 Solvarre\":",
    "\tFIXED: \"Building collages for sets of images of different sizes \",",
    "\t\t\"and width to height ratios\", \"Построение коллажей для наборов изображений \",",
    "\t\t\"разных размеров и отношений сторон\";",
    "",
    "UPDATED (2025-2-23), VER \"1.2 Solvarre\":",
    "\tADDED: \"A double click copies the current file to the clipboard\",",
    "\t\t\"Двойной щелчок копирует текущий файл в буфер обмена\";",
    "\tADDED: \"Files still being downloaded are shown by their inner extension\",",
    "\t\t\"Недокачанные файлы показываются по их внутреннему расширению\";",
    "\tFIXED: \"Animated GIF frames with a zero delay\",",
    "\t\t\"Кадры анимированных GIF с нулевой задержкой\";",
    "\tCHANGED: \"Linux build\",",
    "\t\t\"Сборка для Linux\";",
};

const std::string EDITION = " Solvarre";

}  // namespace

const DynAStr& lines() {
  // Never destroyed: arrays may outlive the statics of other units at exit.
  static const DynAStr* table = [] {
    auto* t = new DynAStr();
    for (const char* line : TABLE) t->append(line);
    return t;
  }();
  return *table;
}

std::string newest_version(const DynAStr& table) {
  std::string version;
  for (const std::string& line : table) {
    if (!NATIVE_String_functions::starts_with(NATIVE_String_functions::trim(line), "UPDATED")) continue;
    size_t open = line.find('"');
    if (open == std::string::npos) {
      version.clear();
      continue;
    }
    size_t close = line.find('"', open + 1);
    version = line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
  }
  return version;
}

std::string newest_version() { return newest_version(lines()); }

std::string title_for(const std::string& program, const std::string& version) {
  std::string title = program + " v" + version;
  if (!NATIVE_String_functions::ends_with(version, EDITION)) title += EDITION;
  return title;
}

}  // namespace brek::Version_history
