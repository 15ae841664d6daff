#include "ui/export.h"

#include "index/nusk_db.h"
#include "util/utf.h"

namespace nusk {

namespace {

void AppendQuoted(std::string& out, std::u16string_view value) {
  out += '"';
  for (char c : ToUtf8(value)) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

bool IsCsvExportName(std::u16string_view file_name) {
  if (file_name.size() < 4) return false;
  std::u16string_view ext = file_name.substr(file_name.size() - 4);
  static constexpr char16_t kCsv[] = u".csv";
  for (size_t i = 0; i < 4; ++i) {
    char16_t c = ext[i];
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    if (c != kCsv[i]) return false;
  }
  return true;
}

std::string CsvHeaderLine() { return "\"Name\",\"Path\",\"Size(KB)\",\"Date modified\"\r\n"; }

std::string CsvLine(std::u16string_view name, std::u16string_view path, std::u16string_view size_kb,
                    std::u16string_view date) {
  std::string line;
  AppendQuoted(line, name);
  line += ',';
  AppendQuoted(line, path);
  line += ',';
  AppendQuoted(line, size_kb);
  line += ',';
  AppendQuoted(line, date);
  line += "\r\n";
  return line;
}

std::string TextLine(std::u16string_view full_path) { return ToUtf8(full_path) + "\r\n"; }

std::string ExportBytes(const SearchView& view, std::span<const uint32_t> rows, bool csv,
                        const ExportOptions& options) {
  NuskDb& db = view.db();
  std::string out = "\xEF\xBB\xBF";
  if (csv) out += CsvHeaderLine();
  for (uint32_t item : rows) {
    if (item >= db.item_count()) continue;
    if (!csv) {
      out += TextLine(ItemFullPath(db, item));
      continue;
    }
    std::u16string size;
    if (!db.IsFolder(item) || options.show_folder_size) {
      const uint64_t bytes = db.IsFolder(item) ? db.FolderSize(item) : BytesFromSizeForm(db.SizeForm(item));
      for (char c : std::to_string(bytes / 1024)) size += char16_t(c);
    }
    // A stored time of 0 is no time at all (as in the list's date cell).
    const std::u16string date =
        db.Time(item) == 0 ? std::u16string() : DateMinuteText(LocalCivilTime(db.Time(item), options.utc_offset));
    out += CsvLine(db.ItemName(item), ParentPath(db, item), size, date);
  }
  return out;
}

Status ExportList(Env* env, const std::u16string& path, const SearchView& view, std::span<const uint32_t> rows,
                  const ExportOptions& options) {
  return env->WriteWholeFile(path, ExportBytes(view, rows, IsCsvExportName(path), options), false);
}

}  // namespace nusk
