// A library that loads only when the library it needs is found in its own folder. It is no
// Firebird client: loading it by its full path must end at the client check, not at the load.
extern "C" __declspec(dllimport) int uc_fake_dependency();

extern "C" __declspec(dllexport) int uc_fake_client() {
    return uc_fake_dependency();
}
