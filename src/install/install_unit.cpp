// placeholder so the subsystem library is never empty
namespace om {
}
