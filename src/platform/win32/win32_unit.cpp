// placeholder so the platform library is never empty
namespace om::platform::win32 {
}
