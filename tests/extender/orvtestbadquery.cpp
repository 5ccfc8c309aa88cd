// An extender whose query function is declared the wrong way (the caller must
// remove the arguments, but the name promises the callee does): loading it
// must fail cleanly with the unbalanced stack named, not corrupt the caller.
extern "C" int __cdecl ORVExtenderQuery(int request, char*, int) { return request == 2 ? 4 : 1; }
