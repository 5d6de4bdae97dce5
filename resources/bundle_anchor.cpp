// The resource library needs one translation unit of its own; the bundle's files are
// attached to it by qt_add_resources.
namespace cvx {
int bundleAnchor() { return 0; }
}
