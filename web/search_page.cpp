// The search page, the rows of "/query.json" and their text formats.
#include <string>

#include "util/utf.h"
#include "web/http_text.h"
#include "web/web_service.h"

namespace nusk {

namespace {

std::string Slashed(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

// Style sheet and script of the page; the script's behaviour is what "/query.json" is
// shaped for (appending rows, folder links that search, history, thumbnails).
constexpr const char* kStyle = R"(<style>
body { font-family: sans-serif; margin: 8px; }
@media (max-width: 600px) { body { margin: 2px; } ol { padding-left: 2.2em; } }
ol { padding-left: 3.5em; }
li { margin: 2px 0; word-break: break-all; }
hr { border: 0; border-top: 1px solid #ccc; }
#dots { position: absolute; right: 10px; top: 6px; font-weight: bold; }
#options { display: none; position: absolute; right: 10px; top: 30px; border: 1px solid #aaa; background: #f7f7f7; padding: 6px 10px; }
a { color: #1a4fa0; text-decoration: none; }
a:hover { text-decoration: underline; }
li img { display: block; max-width: 128px; max-height: 128px; }
</style>
)";

constexpr const char* kScript = R"JS(
function el(id) { return document.getElementById(id); }
function quoted(q) { return q.indexOf(" ") >= 0 ? "\"" + q + "\"" : q; }
function encodePath(p) { return p.split("/").map(encodeURIComponent).join("/"); }
function entryCount() { return el("ol").getElementsByTagName("li").length; }
function searchFor(q) {
  location.href = "/?q=" + encodeURIComponent(q) + (el("chkShowSize").checked ? "&showSize=1" : "");
}
function toggleOptions() {
  var o = el("options");
  o.style.display = o.style.display == "block" ? "none" : "block";
}
function addThumbnail(li) {
  var a = li.getElementsByTagName("a")[0];
  if (!a || li.getElementsByTagName("img").length) return;
  var path = a.textContent, end = path.charAt(path.length - 1);
  if (end == "\\" || end == "/") return;
  var img = document.createElement("img");
  img.src = "/thumb.png?file=" + encodeURIComponent(path);
  img.alt = "";
  li.appendChild(img);
}
function updateThumbnails() {
  var on = el("chkThumbnails") && el("chkThumbnails").checked;
  var items = el("ol").getElementsByTagName("li");
  for (var i = 0; i < items.length; i++) {
    if (on) { addThumbnail(items[i]); continue; }
    var imgs = items[i].getElementsByTagName("img");
    while (imgs.length) imgs[0].parentNode.removeChild(imgs[0]);
  }
}
function toggleThumbnails() {
  document.cookie = "$thumb=" + (el("chkThumbnails").checked ? "1" : "0") +
      "; expires=Thu, 31 Dec 2099 23:59:59 GMT; path=/";
  updateThumbnails();
}
function updateCount() {
  var n = entryCount();
  if (el("lblShowingCount")) el("lblShowingCount").textContent = n;
  if (n >= totalFoundCount && el("more")) el("more").style.display = "none";
}
function appendRows(rows) {
  var ol = el("ol"), showSize = el("chkShowSize").checked;
  for (var i = 0; i < rows.length; i++) {
    var s = rows[i], size = null, bar = s.lastIndexOf("|");
    if (bar >= 0) { size = s.substring(bar + 1); s = s.substring(0, bar); }
    var li = document.createElement("li"), a = document.createElement("a");
    // Windows paths are shown with '\'; a folder link searches inside it. Elsewhere paths
    // stay as they are and a folder link is answered by a redirect to that search.
    var text = backslashPaths ? s.replace(/\//g, "\\") : s;
    a.textContent = text;
    a.href = backslashPaths && s.charAt(s.length - 1) == "/" ? "/?q=" + encodeURIComponent(quoted(text))
                                                            : (s.charAt(0) == "/" ? "" : "/") + encodePath(s);
    li.appendChild(a);
    if (showSize && size !== null) li.appendChild(document.createTextNode("(" + size + ")"));
    ol.appendChild(li);
  }
  updateThumbnails();
  updateCount();
}
function saveHistory(rows) {
  var h = el("txtHistory"), all = h.value ? JSON.parse(h.value) : [];
  h.value = JSON.stringify(all.concat(rows));
}
function loadHistory() {
  var h = el("txtHistory");
  if (h.value) { try { appendRows(JSON.parse(h.value)); } catch (e) { h.value = ""; } }
}
var loading = false;
function showMore() {
  var link = el("showMore"), n = entryCount();
  if (loading || n >= totalFoundCount) return;
  loading = true;
  link.textContent = "Loading..";
  var url = "/query.json?q=" + encodeURIComponent(el("txt").value) + "&from=" + n +
      (el("chkShowSize").checked ? "&showSize=1" : "");
  var x = new XMLHttpRequest();
  x.open("GET", url);
  x.onload = function() {
    loading = false;
    link.textContent = "Show more";
    if (x.status == 200) { var rows = JSON.parse(x.responseText); appendRows(rows); saveHistory(rows); }
  };
  x.onerror = function() { loading = false; link.textContent = "Show more"; };
  x.send();
}
function goUp() {
  var q = new URLSearchParams(location.search).get("q") || "", folder = null;
  var m = q.match(/"(.:[^"]*)"/);
  if (m) folder = m[1];
  else {
    var parts = q.split(" ");
    for (var i = 0; i < parts.length; i++) {
      if (/^[A-Za-z]:/.test(parts[i])) { folder = parts[i]; break; }
    }
  }
  if (!folder) { searchFor("\\"); return; }
  if (folder.charAt(folder.length - 1) == "\\") folder = folder.substring(0, folder.length - 1);
  var cut = folder.lastIndexOf("\\");
  if (cut < 3) { searchFor("\\"); return; }
  searchFor(quoted(folder.substring(0, cut + 1)));
}
window.onscroll = function() {
  if (el("chkAutoShowMore").checked && window.innerHeight + window.scrollY >= document.body.offsetHeight - 4) showMore();
};
document.onkeydown = function(e) {
  if (e.ctrlKey && (e.key == "m" || e.key == "M")) {
    el("chkThumbnails").checked = !el("chkThumbnails").checked;
    toggleThumbnails();
    e.preventDefault();
  }
};
var started = false;
function onload() {
  if (started) return;
  started = true;
  var links = el("ol").getElementsByTagName("a");
  for (var i = 0; i < links.length; i++) {
    var t = links[i].textContent;
    if (t.charAt(t.length - 1) == "\\") links[i].href = "/?q=" + encodeURIComponent(quoted(t));
  }
  var q = new URLSearchParams(location.search).get("q");
  if (q !== null) el("txt").value = q;
  el("txt").size = window.innerWidth > 600 ? 48 : 22;
}
)JS";

}  // namespace

std::string GroupedNumber(uint64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string SizeText(uint64_t bytes) { return GroupedNumber(bytes / 1024 + (bytes % 1024 != 0)) + " KB"; }

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[(c >> 4) & 15];
      out += kHex[c & 15];
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

// The row's path with a folder's trailing separator, as the page shows it.
std::string MarkedPath(const ResultRow& row) {
  bool marked = !row.path.empty() && row.path.back() == row.separator;
  return row.is_folder && !marked ? row.path + row.separator : row.path;
}

// The row's path with '/' separators (a folder's ending with '/'), as links and JSON use it.
std::string SlashedPath(const ResultRow& row) {
  return row.separator == '\\' ? Slashed(MarkedPath(row)) : MarkedPath(row);
}

}  // namespace

std::string JsonRow(const ResultRow& row, bool show_size) {
  std::string s = SlashedPath(row);
  if (!row.is_folder && show_size) s += '|' + SizeText(row.size_bytes);
  return '"' + JsonEscape(s) + '"';
}

std::string PageRow(const ResultRow& row, bool show_size) {
  std::string slashed = SlashedPath(row);
  std::string href = (slashed.empty() || slashed[0] != '/' ? "/" : "") + http::EncodePath(slashed);
  std::string out = "<li><a href=\"" + HtmlEscape(href) + "\">" + HtmlEscape(MarkedPath(row)) + "</a>";
  if (!row.is_folder && show_size) out += "(" + SizeText(row.size_bytes) + ")";
  return out + "</li>";
}

std::string PageHead(const PageInfo& info) {
  std::string out =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Nusk file search</title>\n";
  out += kStyle;
  out += "<script>\nvar totalFoundCount = " + std::to_string(info.total) +
         ";\nvar firstLoadedCount = " + std::to_string(info.last + 1) +
         ";\nvar backslashPaths = " + (info.separator == '\\' ? "true" : "false") + ";\n" + kScript +
         "</script>\n</head><body>\n";
  out += "<a id=\"dots\" href=\"#\" onclick=\"toggleOptions();return false;\">&hellip;</a>\n";
  out +=
      "<form method=\"get\" id=\"frm\" action=\"/\">\n<label for=\"txt\">Query:</label>\n"
      "<input type=\"text\" id=\"txt\" name=\"q\" size=\"48\" value=\"" +
      HtmlEscape(info.query) +
      "\">\n"
      "<input type=\"submit\" value=\"Go\">\n<div id=\"options\">\n"
      "<label><input type=\"checkbox\" id=\"chkThumbnails\" onclick=\"toggleThumbnails()\">Thumbnails</label><br>\n"
      "<label><input type=\"checkbox\" id=\"chkShowSize\" name=\"showSize\" value=\"1\"" +
      std::string(info.show_size ? " checked" : "") +
      " onclick=\"el('frm').submit()\">Show size</label><br>\n"
      "<label><input type=\"checkbox\" id=\"chkAutoShowMore\">Auto show more</label>\n</div>\n"
      "<input type=\"hidden\" id=\"txtHistory\">\n</form>\n"
      "<script>if (document.cookie.indexOf(\"$thumb=1\") >= 0) el(\"chkThumbnails\").checked = true;</script>\n"
      "<p><a href=\"/?q=\">New search</a> | <a href=\"#\" onclick=\"searchFor('\\\\');return false;\">Root folder</a>"
      " | <a href=\"#\" onclick=\"goUp();return false;\">Go up</a></p>\n<hr>\n<ol id=\"ol\">\n";
  return out;
}

std::string PageTail(const PageInfo& info) {
  std::string out = "</ol>\n<script>updateThumbnails();</script>\n";
  if (info.last < static_cast<int64_t>(info.total) - 1) {
    out += "<p id=\"more\">Showing <label id=\"lblShowingCount\">" + std::to_string(info.last + 1) +
           "</label> items. <a id=\"showMore\" href=\"#\" onclick=\"showMore();return false;\">Show more</a></p>\n";
  }
  out += "<hr>\n<p>Found <b>" + GroupedNumber(info.total) + "</b> items (" + std::to_string(info.search_ms) +
         ") ms &nbsp; <a href=\"#\">Top</a></p>\n";
  out += "\n<script>\n  loadHistory();\n</script>\n<script>onload();</script></body></html>\n";
  return out;
}

}  // namespace nusk
