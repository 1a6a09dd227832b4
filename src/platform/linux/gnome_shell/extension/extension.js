// Offers the shell's window list on the session bus, read-only, for TarvoKelmora's sweep.
/* exported init */
const { Gio, Meta } = imports.gi;

const kInterface = `
<node>
  <interface name="org.tarvokelmora.Windows">
    <method name="List">
      <arg type="s" name="windows" direction="out"/>
    </method>
  </interface>
</node>`;

const kPath = '/org/tarvokelmora/Windows';

class WindowList {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(kInterface, this);
        this._object.export(Gio.DBus.session, kPath);
    }

    disable() {
        this._object.unexport();
        this._object = null;
    }

    // Every window with what the sweep asks of it, as a JSON array; the stacking rank is the
    // window's place in the display's order, bottom 0.
    List() {
        const windows = global.get_window_actors().map(actor => actor.meta_window);
        const stacked = global.display.sort_windows_by_stacking(windows);
        const rank = new Map();
        stacked.forEach((w, i) => rank.set(w, i));
        const listed = windows.filter(w => !w.is_override_redirect()).map(w => {
            const type = w.get_window_type();
            const owner = w.get_transient_for();
            return {
                id: String(w.get_id()),
                title: w.get_title() || '',
                pid: w.get_pid(),
                class: w.get_wm_class() || '',
                minimized: w.minimized,
                skipTaskbar: w.is_skip_taskbar(),
                transientFor: owner ? String(owner.get_id()) : null,
                stacking: rank.get(w) ?? 0,
                normal: type === Meta.WindowType.NORMAL,
                dialog: type === Meta.WindowType.DIALOG || type === Meta.WindowType.MODAL_DIALOG,
                x11: w.get_client_type() === Meta.WindowClientType.X11,
            };
        });
        return JSON.stringify(listed);
    }
}

function init() {
    return new WindowList();
}
