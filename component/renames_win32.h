// The Tessora object's interface for the desktop hook, which creates the object in the shell's
// own process and tells it of icons renamed there. It stays out of the type library: scripts
// have no use for it, and it is never marshalled to another apartment or process.
#pragma once

#include <unknwn.h>

// An icon's label changed from `from` to `to` while the icon stayed: what Kelvara knows of it
// (its usage count, its remembered places, its places in the restore points) follows the new
// label. Fails with error information, as ITessora's methods do, when that could not be saved
// (the counts are then kept, as a count that could not be saved is).
MIDL_INTERFACE("2EF9977C-2DB8-42EE-BCA3-1E5F79D6718A")
ITessoraRenames : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE IconRenamed(const wchar_t* from, const wchar_t* to) = 0;
};
__CRT_UUID_DECL(ITessoraRenames, 0x2ef9977c, 0x2db8, 0x42ee, 0xbc, 0xa3, 0x1e, 0x5f, 0x79, 0xd6,
                0x71, 0x8a)
