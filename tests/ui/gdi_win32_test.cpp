// Under Wine no count of GDI objects or handles can be asked for (GetGuiResources
// and GetProcessHandleCount answer 0), so the owners themselves are checked:
// each lets go of what it owns, exactly once, and every selection is undone.
#include <gtest/gtest.h>

#include "base/gdi_win32.h"

namespace qv {
namespace {

TEST(GdiOwners, EveryObjectIsDeletedOnceAndEverySelectionUndone) {
    HPEN raw = CreatePen(PS_SOLID, 5, RGB(255, 0, 0));
    ASSERT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_PEN));
    {
        GdiObject<HPEN> pen(raw);
        GdiObject<HPEN> moved(std::move(pen));  // the moved-from owner deletes nothing
        EXPECT_EQ(pen.get(), nullptr);
        EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_PEN));
    }
    EXPECT_EQ(GetObjectType(raw), 0u);  // gone with its last owner

    HDC screen = GetDC(nullptr);
    HDC memory = nullptr;
    {
        MemoryDc dc(screen);
        memory = dc.get();
        HGDIOBJ before = GetCurrentObject(dc.get(), OBJ_PEN);
        GdiObject<HPEN> red(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
        HPEN redHandle = red.get();
        {
            Selection use(dc.get(), red.get());
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), redHandle);
        }
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), before);
    }
    EXPECT_EQ(GetObjectType(memory), 0u);
    ReleaseDC(nullptr, screen);

    // A day of marker redraws: a pen made, selected, drawn with and dropped twice a second.
    for (int i = 0; i < 172800; ++i) {
        MemoryDc dc(nullptr);
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, 5, RGB(255, 0, 0)));
        ASSERT_TRUE(dc.get() && pen.get()) << "GDI refused a new object after " << i << " redraws";
        Selection use(dc.get(), pen.get());
        MoveToEx(dc.get(), 0, 0, nullptr);
        LineTo(dc.get(), 10, 10);
    }
}

}  // namespace
}  // namespace qv
