// Language tables: the built-in ones, language files and their fallbacks, the choice of
// table at start-up and the options dialog's language list.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "l10n/builtin_ui.h"
#include "l10n/ext_lang_ui.h"
#include "l10n/language_files.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

namespace nusk {
namespace {

using testing::TempDir;

constexpr char16_t kSentinel[] = u"\x01sentinel";

// UTF-16LE file bytes with a byte-order mark, so any character survives on both systems.
std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

// The printf conversions of a text, in order ("%s%d").
std::u16string Conversions(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == u'%') {
      out += text.substr(i, 2);
      ++i;
    }
  }
  return out;
}

std::vector<std::unique_ptr<CBuiltinUI>> AllBuiltins() {
  std::vector<std::unique_ptr<CBuiltinUI>> tables;
  tables.push_back(std::make_unique<CDeUI>());
  tables.push_back(std::make_unique<CFrUI>());
  tables.push_back(std::make_unique<CJaUI>());
  tables.push_back(std::make_unique<CZh0UI>());
  tables.push_back(std::make_unique<CZhUI>());
  for (auto& t : tables) t->Fill();
  return tables;
}

TEST(BuiltinTables, TranslateEveryKeyAndKeepFormatConversions) {
  for (auto& ui : AllBuiltins()) {
    SCOPED_TRACE(ToUtf8(ui->LanguageName()));
    ui->PrepareRibbonTexts();
    for (auto key : MenuCommandKeys()) EXPECT_NE(ui->MenuText(key, kSentinel), kSentinel) << ToUtf8(key);
    for (auto key : ContextMenuKeys()) EXPECT_NE(ui->MenuText(key, kSentinel), kSentinel) << ToUtf8(key);
    for (auto key : PopupKeys()) EXPECT_NE(ui->PopupTitle(key, kSentinel), kSentinel) << ToUtf8(key);
    for (auto key : ToolbarKeys()) EXPECT_NE(ui->ToolbarText(key), nullptr) << ToUtf8(key);
    for (auto key : RibbonKeys()) EXPECT_NE(ui->RibbonText(key, kSentinel), kSentinel) << ToUtf8(key);
    for (auto key : MenuHelpKeys()) EXPECT_NE(ui->MenuHelp(key), u"") << ToUtf8(key);
    for (const DialogSection& group : DialogSections()) {
      for (auto key : group.keys) {
        std::u16string full = std::u16string(group.section) + u"." + std::u16string(key);
        EXPECT_NE(ui->DialogText(full, nullptr), u"<UNKNOWN>") << ToUtf8(full);
      }
    }
    for (const MessageRow& row : MessageRows()) {
      if (!row.english) continue;  // formatted by the window code itself
      std::u16string text = ui->Message(row.key, nullptr);
      EXPECT_NE(text, row.key) << ToUtf8(row.key);
      EXPECT_EQ(Conversions(text), Conversions(row.english)) << ToUtf8(row.key) << ": " << ToUtf8(text);
    }
    // Accelerator texts follow a real tab.
    EXPECT_NE(ui->MenuText(u"file.open", u"").find(u'\t'), std::u16string::npos);
  }
}

TEST(MessageLookup, TableThenDefaultThenKey) {
  InstallUI(nullptr);
  EXPECT_EQ(Tr(u"MSG.READY_STATUS", u"Ready"), u"Ready");
  EXPECT_EQ(Tr(u"MSG.NO_SUCH", nullptr), u"MSG.NO_SUCH");
  InstallUI(CreateLanguageTable(2, u"", {}, u"", Env::Default(), Profile::Default()));
  ASSERT_NE(CurrentUI(), nullptr);
  EXPECT_EQ(Tr(u"MSG.READY_STATUS", u"Ready"), u"Bereit");
  EXPECT_EQ(Tr(u"msg.ready_status", u"Ready"), u"Ready") << "message keys are case-sensitive";
  EXPECT_EQ(Tr(u"MSG.NO_SUCH", u"English"), u"English");
  EXPECT_EQ(Tr(u"MSG.NO_SUCH", nullptr), u"MSG.NO_SUCH");
  EXPECT_EQ(Tr(u"COL.RNUM", u"#"), u"#");
  EXPECT_EQ(CurrentUI()->DialogText(u"button.nothing", nullptr), u"<UNKNOWN>");
  EXPECT_EQ(CurrentUI()->DialogText(u"button.nothing", u"Fallback"), u"Fallback");
  InstallUI(nullptr);
}

class LanguageFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<ExtLangUI> Load(std::u16string_view text) {
    auto ui = std::make_unique<ExtLangUI>(dir_.WriteFile(u"lang.xx.ini", Utf16File(text)));
    ui->Fill();
    return ui;
  }
  TempDir dir_;
};

TEST_F(LanguageFileTest, EscapesQuotesAndLazyGroups) {
  auto ui = Load(
      u"[menu]\r\nfile.open=Abrir\\tEnter\r\nfile.exit=Sair\r\nfile=\"Arquivo\"\r\n"
      u"[msg]\r\nready_status=Pronto\r\n[prompt]\r\nno_file_selected=Linha 1\\nLinha 2\\x\r\n"
      u"[menuhelp]\r\nfile.export=Exportar a lista\r\n[button]\r\nok=Confirmar\r\n[toolbar]\r\nopen=Abrir\r\n"
      u"[ribbon]\r\ncommand.open=Abrir arquivo\r\n[context_menu]\r\nsearch_box.cut=Recortar\r\n"
      u"[column]\r\nname=\u540D\u524D\r\n");
  EXPECT_EQ(ui->MenuText(u"file.open", u"Open"), u"Abrir\tEnter");
  EXPECT_EQ(ui->MenuText(u"file.exit", u"Exit"), u"Sair");
  EXPECT_EQ(ui->PopupTitle(u"file", u"File"), u"Arquivo");
  EXPECT_EQ(ui->MenuText(u"search_box.cut", u"Cut"), u"Recortar");
  EXPECT_EQ(ui->Message(u"MSG.READY_STATUS", u"Ready"), u"Pronto");
  EXPECT_EQ(ui->Message(u"MSG.NO_FILE_SELECTED", u""), u"Linha 1\nLinha 2\\x");
  EXPECT_EQ(ui->Message(u"COL.NAME", u"Name"), u"\u540D\u524D");
  EXPECT_EQ(ui->MenuHelp(u"file.export"), u"Exportar a lista");
  EXPECT_EQ(ui->MenuHelp(u"file.close"), u"");
  EXPECT_EQ(ui->RibbonText(u"command.open", u"Open"), u"Open") << "ribbon texts load when prepared";
  ui->PrepareRibbonTexts();
  EXPECT_EQ(ui->RibbonText(u"command.open", u"Open"), u"Abrir arquivo");
  EXPECT_EQ(ui->DialogText(u"button.ok", u"OK"), u"Confirmar");
  ASSERT_NE(ui->ToolbarText(u"open"), nullptr);
  EXPECT_EQ(*ui->ToolbarText(u"open"), u"Abrir");
  EXPECT_EQ(ui->ToolbarText(u"copy"), nullptr);
}

TEST_F(LanguageFileTest, UnusableValuesKeepTheEnglishText) {
  std::u16string text = u"[META-INF]\r\nlanguage_name=Teste\r\n[msg]\r\nready_status=\r\ntotal_status=" +
                        std::u16string(300, u'x') +
                        u"\r\nbuild_time=ok \u00E9\r\nabout=x\uFFFDy\r\n"
                        u"did_you_know=\xD800"
                        u"broken\r\nwhat_s_new=" +
                        std::u16string(254, u'y') +
                        u"\r\n"
                        u"[menu]\r\nfile.exit=bad\x01text\r\n";
  auto ui = Load(text);
  EXPECT_EQ(ui->Message(u"MSG.READY_STATUS", u"Ready"), u"Ready") << "empty";
  EXPECT_EQ(ui->Message(u"MSG.TOTAL_STATUS", u"Total %s items"), u"Total %s items") << "over-long";
  EXPECT_EQ(ui->Message(u"MSG.BUILD_TIME", u"Build time"), u"ok \u00E9");
  EXPECT_EQ(ui->Message(u"MSG.ABOUT", nullptr), u"MSG.ABOUT") << "replacement character";
  EXPECT_EQ(ui->Message(u"TITLE.DidYouKnow", u"Did you know..."), u"Did you know...") << "broken pair";
  EXPECT_EQ(ui->Message(u"TITLE.WhatsNew", u""), std::u16string(254, u'y')) << "254 is the limit";
  EXPECT_EQ(ui->MenuText(u"file.exit", u"Exit"), u"Exit") << "control character";
  EXPECT_EQ(ReadLanguageName(ui->path(), Profile::Default()), u"Teste");

  // Undecodable 8-bit bytes that end up as control characters.
  auto bytes = std::make_unique<ExtLangUI>(dir_.WriteFile(u"lang.yy.ini", "[msg]\r\nready_status=\x81\x02\x8D\r\n"));
  bytes->Fill();
  EXPECT_EQ(bytes->Message(u"MSG.READY_STATUS", u"Ready"), u"Ready");

  auto meta_only = Load(u"[META-INF]\r\nlanguage_name=Nada\r\n");
  EXPECT_EQ(meta_only->Message(u"MSG.READY_STATUS", u"Ready"), u"Ready");
  EXPECT_EQ(meta_only->MenuText(u"file.open", u"Open"), u"Open");
  EXPECT_EQ(meta_only->DialogText(u"button.ok", u"OK"), u"OK");

  auto missing = std::make_unique<ExtLangUI>(dir_.Sub(u"lang.none.ini"));
  missing->Fill();
  EXPECT_EQ(missing->Message(u"MSG.READY_STATUS", u"Ready"), u"Ready");
}

TEST_F(LanguageFileTest, LocaleFileChoice) {
  Env* env = Env::Default();
  LocaleInfo pt_br{1046, u"pt", u"BR"};
  EXPECT_EQ(FindLocaleLanguageFile(env, dir_.path(), pt_br), u"");
  std::u16string in_lang = dir_.WriteFile(u"lang/lang.pt-BR.ini", "[msg]\r\nready_status=Pronto BR\r\n");
  EXPECT_EQ(FindLocaleLanguageFile(env, dir_.path(), pt_br), in_lang);
  std::u16string beside = dir_.WriteFile(u"lang.pt-BR.ini", "[msg]\r\nready_status=Pronto\r\n");
  EXPECT_EQ(FindLocaleLanguageFile(env, dir_.path(), pt_br), beside) << "beside the program first";

  TempDir other;
  std::u16string short_name = other.WriteFile(u"lang.pt.ini", "[msg]\r\nready_status=Pronto PT\r\n");
  EXPECT_EQ(FindLocaleLanguageFile(env, other.path(), pt_br), short_name);
  auto table = CreateLanguageTable(0, u"", pt_br, other.path(), env, Profile::Default());
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Message(u"MSG.READY_STATUS", u"Ready"), u"Pronto PT");
  EXPECT_EQ(FindLocaleLanguageFile(env, other.path(), {1049, u"ru", u"RU"}), u"");
  EXPECT_EQ(CreateLanguageTable(0, u"", {1049, u"ru", u"RU"}, other.path(), env, Profile::Default()), nullptr);
}

TEST_F(LanguageFileTest, StartupTableChoice) {
  // The ready text of the table chosen, "-" for none (English).
  auto ready = [&](int64_t language, LocaleInfo locale, std::u16string_view file = u"") -> std::u16string {
    auto ui = CreateLanguageTable(language, file, locale, dir_.path(), Env::Default(), Profile::Default());
    return ui ? ui->Message(u"MSG.READY_STATUS", u"Ready") : u"-";
  };
  EXPECT_EQ(ready(1, {1031, u"de", u"DE"}), u"-");
  const std::u16string german = ready(2, {});
  EXPECT_EQ(ready(0, {1031, u"de", u"DE"}), german);
  EXPECT_EQ(ready(0, {2055, u"de", u"CH"}), german);
  EXPECT_EQ(ready(0, {2052, u"zh", u"CN"}), ready(6, {}));
  EXPECT_EQ(ready(0, {1028, u"zh", u"TW"}), ready(5, {}));
  EXPECT_NE(ready(5, {}), ready(6, {}));

  dir_.WriteFile(u"lang/lang.eo.ini", "[msg]\r\nready_status=Preta\r\n");
  EXPECT_EQ(ready(7, {}, u"lang\\lang.eo.ini"), u"Preta");
  EXPECT_EQ(ready(7, {}, u"lang\\lang.missing.ini"), u"-");
  EXPECT_EQ(ready(9, {}), u"-");
}

TEST_F(LanguageFileTest, OptionsListShowsFilesBesideThenInLangFolder) {
  dir_.WriteFile(u"lang.pt.ini", Utf16File(u"[META-INF]\r\nlanguage_name=Portugu\u00EAs\r\n"));
  dir_.WriteFile(u"lang/lang.ru.ini", "[msg]\r\nready_status=x\r\n");
  dir_.WriteFile(u"lang/lang.eo.ini", "[META-INF]\r\nlanguage_name=Esperanto\r\n");
  dir_.WriteFile(u".lang.hidden.ini", "");
  dir_.WriteFile(u"other.ini", "");
  dir_.WriteFile(u"lang.ini", "");
  auto choices = ListLanguageChoices(Env::Default(), dir_.path(), Profile::Default());
  ASSERT_EQ(choices.size(), 10u);
  EXPECT_EQ(choices[0].display, u"System Default");
  EXPECT_EQ(choices[1].display, u"English");
  auto tables = AllBuiltins();  // the built-in languages in table order
  for (size_t i = 0; i < tables.size(); ++i) EXPECT_EQ(choices[i + 2].display, tables[i]->LanguageName());
  EXPECT_EQ(choices[7].display, u"Portugu\u00EAs(lang.pt.ini)");
  EXPECT_EQ(choices[7].file, u"lang.pt.ini");
  EXPECT_EQ(choices[8].display, u"Esperanto(lang.eo.ini)");
  EXPECT_EQ(choices[9].display, u"(lang.ru.ini)");
  EXPECT_EQ(FindLanguageChoice(choices, u"lang\\lang.ru.ini"), 9);
  EXPECT_EQ(FindLanguageChoice(choices, u"LANG.PT.INI"), 7);
  EXPECT_EQ(FindLanguageChoice(choices, u"lang.xx.ini"), -1);
}

}  // namespace
}  // namespace nusk
