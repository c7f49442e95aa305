// The prerequisite dialogs as the x86 product carries them: every template
// in its language, with its texts arriving intact from the UTF-8 scripts.

#include "resources/resource.h"
#include "tests/support/PeImage.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::ElementsAre;

namespace
{
struct ExpectedControl
{
    int id;
    const wchar_t* text;
};

struct ExpectedTemplate
{
    int id;
    WORD language;
    short cx, cy;
    std::vector<ExpectedControl> controls;
};

const std::vector<ExpectedTemplate>& Templates()
{
    static const std::vector<ExpectedTemplate> templates = {
        {IDD_PREREQ_ENGLISH, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 330, 216,
         {{IDOK, L"&Next >"},
          {IDCANCEL, L"Cancel"},
          {IDC_PREREQ_HEADING, L"Prerequisites check"},
          {IDC_PREREQ_MISSING, L"This machine is missing components required by %s"},
          {IDC_PREREQ_WILL_INSTALL, L"%s setup wizard will now download and install the following components."}}},
        {IDD_PREREQ_ITALIAN, MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN), 330, 216,
         {{IDOK, L"&Avanti >"},
          {IDCANCEL, L"Annulla"},
          {IDC_PREREQ_HEADING, L"Prerequisiti di installazione"},
          {IDC_PREREQ_MISSING, L"Su questo computer mancano i componenti richiesti da %s"},
          {IDC_PREREQ_WILL_INSTALL,
           L"La procedura guidata di impostazione %s ora caricherà ed installerà le seguenti componenti."}}},
        {IDD_PREREQ_GERMAN, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), 330, 216,
         {{IDOK, L"&Weiter >"},
          {IDCANCEL, L"Abbrechen"},
          {IDC_PREREQ_HEADING, L"Überprüfung der Installationsvoraussetzungen"},
          {IDC_PREREQ_MISSING, L"Auf diesem Computer fehlen Softwarekomponenten, die von %s benötigt werden"},
          {IDC_PREREQ_WILL_INSTALL,
           L"Der Setupassistent für %s wird die folgenden Komponenten herunterladen und installieren"}}},
        {IDD_ERROR_ENGLISH, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 223, 110,
         {{IDOK, L"&Retry"},
          {IDCANCEL, L"E&xit Setup"},
          {IDC_ERROR_TEXT, L"There was an error while downloading and installing prerequisite:  %s"},
          {IDC_ERROR_OPEN_LOCATION, L"&Open the prerequisite download location when exiting."}}},
        {IDD_ERROR_ITALIAN, MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN), 223, 110,
         {{IDOK, L"&Riprova"},
          {IDCANCEL, L"&Esci dall'installazione"},
          {IDC_ERROR_TEXT,
           L"Si è verificato un errore durante il download e l'installazione del prerequisito:  %s"},
          {IDC_ERROR_OPEN_LOCATION,
           L"&Aprire la posizione di download del prerequisito all'uscita del programma."}}},
        {IDD_ERROR_GERMAN, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), 223, 110,
         {{IDOK, L"&Neu versuchen"},
          {IDCANCEL, L"&Setup beenden"},
          {IDC_ERROR_TEXT,
           L"Beim Herunterladen und der Installation der Voraussetzungen ist ein Fehler aufgetreten:  %s"},
          {IDC_ERROR_OPEN_LOCATION,
           L"&Die Downloadseite für die benötigten Aktualisierungen beim Beenden öffnen."}}},
    };
    return templates;
}

// Window class names are not case-sensitive; a template may hold them
// either way.
std::wstring Upper(std::wstring text)
{
    CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::wstring ResourceName(int id)
{
    return L"#" + std::to_wstring(id);
}
}  // namespace

TEST(PrereqDialogTemplates, EachLanguageCarriesItsTextsAsUtf16)
{
    PeImage product(JoinPath(X86KitDir(), L"SetupBootstrapper.exe"));
    ASSERT_TRUE(product.Valid()) << product.Error();
    for (const ExpectedTemplate& expected : Templates())
    {
        SCOPED_TRACE(expected.id);
        EXPECT_THAT(product.ResourceLanguages(L"#5", ResourceName(expected.id)), ElementsAre(expected.language));
        DialogTemplate dialog = ParseDialogTemplate(product.Resource(L"#5", ResourceName(expected.id)));
        ASSERT_TRUE(dialog.valid);
        EXPECT_EQ(dialog.cx, expected.cx);
        EXPECT_EQ(dialog.cy, expected.cy);
        EXPECT_EQ(dialog.caption, L"Dialog");
        EXPECT_EQ(dialog.fontName, L"MS Shell Dlg");
        EXPECT_EQ(dialog.pointSize, 8);
        // A modal frame with a caption, centred, and no system menu.
        EXPECT_EQ(dialog.style & (DS_MODALFRAME | DS_CENTER | WS_CAPTION | WS_SYSMENU),
                  static_cast<DWORD>(DS_MODALFRAME | DS_CENTER | WS_CAPTION));
        for (const ExpectedControl& control : expected.controls)
        {
            const DialogControl* found = dialog.Control(control.id);
            ASSERT_NE(found, nullptr) << control.id;
            EXPECT_EQ(found->text, control.text) << control.id;
        }
        EXPECT_EQ(dialog.Control(IDOK)->style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    }
}

TEST(PrereqDialogTemplates, ControlsKeepTheKindsTheDialogsRelyOn)
{
    PeImage product(JoinPath(X86KitDir(), L"SetupBootstrapper.exe"));
    ASSERT_TRUE(product.Valid()) << product.Error();
    for (int id : {IDD_PREREQ_ENGLISH, IDD_PREREQ_ITALIAN, IDD_PREREQ_GERMAN})
    {
        SCOPED_TRACE(id);
        DialogTemplate dialog = ParseDialogTemplate(product.Resource(L"#5", ResourceName(id)));
        ASSERT_TRUE(dialog.valid);
        const DialogControl* list = dialog.Control(IDC_PREREQ_LIST);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Upper(list->className), L"LISTBOX");
        const DWORD listStyle = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL;
        EXPECT_EQ(list->style & (listStyle | LBS_SORT), listStyle);

        // The banner is the first control: controls paint in template order,
        // and the heading and text lying on it must be drawn after it.
        const DialogControl& banner = dialog.controls.front();
        EXPECT_EQ(Upper(banner.className), L"STATIC");
        EXPECT_EQ(banner.style & SS_TYPEMASK, static_cast<DWORD>(SS_BITMAP));
        EXPECT_EQ(banner.text, ResourceName(IDB_TOP9));
        EXPECT_EQ((std::vector<short>{banner.x, banner.y, banner.cx, banner.cy}),
                  (std::vector<short>{0, 0, 333, 38}));
    }
    for (int id : {IDD_ERROR_ENGLISH, IDD_ERROR_ITALIAN, IDD_ERROR_GERMAN})
    {
        DialogTemplate dialog = ParseDialogTemplate(product.Resource(L"#5", ResourceName(id)));
        const DialogControl* box = dialog.Control(IDC_ERROR_OPEN_LOCATION);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(box->style & (BS_TYPEMASK | BS_MULTILINE), static_cast<DWORD>(BS_AUTOCHECKBOX | BS_MULTILINE))
            << id;
    }
}

TEST(DownloadAndRunStandIn, ExportsItsEntryPointUndecoratedInTheX86Kit)
{
    // Read as bytes: no program here can load the x86 library.
    std::string bytes = ReadFileBytes(JoinPath(X86KitDir(), L"downloadandrun.dll"));
    ASSERT_FALSE(bytes.empty());
    EXPECT_NE(bytes.find(std::string("DownloadAndRunMain\0", 19)), std::string::npos);
    EXPECT_EQ(bytes.find("DownloadAndRunMain@"), std::string::npos);
    PeImage library(JoinPath(X86KitDir(), L"downloadandrun.dll"));
    ASSERT_TRUE(library.Valid()) << library.Error();
    EXPECT_TRUE(library.IsPe32());
}
