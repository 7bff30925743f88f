# -*- coding: utf-8 -*-
# bluetoothd, as far as the Linux Bluetooth backend uses it, for python3-dbusmock, with -p JSON:
# {"adapters": [{"name", "powered"}], "devices": [{"address", "adapter", "name", "class", "paired", "trusted",
# "pin", "passkey" (pair by RequestPasskey), "found_ms" (appears that long after StartDiscovery), "silent" (Pair
# never answers), "connect_error", "late" (ConnectProfile answers before NewConnection)}]}. Errors follow
# bluetoothd; the calls are appended to the file $KV_MOCK_BLUEZ_LOG, which appears once the mock is up.

import os
import socket

import dbus
from gi.repository import GLib

from dbusmock import mockobject

BUS_NAME = 'org.bluez'
MAIN_OBJ = '/'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

ADAPTER, DEVICE = 'org.bluez.Adapter1', 'org.bluez.Device1'
AGENTS, PROFILES = 'org.bluez.AgentManager1', 'org.bluez.ProfileManager1'
STATE = {'agents': {}, 'profiles': {}, 'found': {}}


def error(name, message):
    return dbus.exceptions.DBusException(message, name='org.bluez.Error.' + name)


def log(*words):
    with open(os.environ['KV_MOCK_BLUEZ_LOG'], 'a', encoding='utf-8') as calls:
        calls.write(' '.join(str(w) for w in words) + '\n')


def method(obj, interface, in_sig, out_sig, **keywords):
    def install(fn):
        wrapped = dbus.service.method(interface, in_signature=in_sig, out_signature=out_sig, **keywords)(fn)
        obj.methods.setdefault(interface, {})[fn.__name__] = (in_sig, out_sig, '', wrapped)
    return install


def add_adapter(main, entry):
    name = entry['name']
    path = '/org/bluez/' + name
    main.AddObject(path, ADAPTER, {
        'Address': dbus.String('AA:BB:CC:DD:EE:%02X' % (int(name[3:]) + 1), variant_level=1),
        'Alias': dbus.String('Desk ' + name, variant_level=1),
        'Class': dbus.UInt32(0x10010c, variant_level=1),
        'Powered': dbus.Boolean(entry.get('powered', True), variant_level=1)}, [])
    adapter = mockobject.objects[path]

    @method(adapter, ADAPTER, 'a{sv}', '')
    def SetDiscoveryFilter(_self, options):
        log('SetDiscoveryFilter', name, options.get('Transport', ''))

    @method(adapter, ADAPTER, '', '')
    def StartDiscovery(_self):
        log('StartDiscovery', name)
        if not adapter.props[ADAPTER]['Powered']:
            raise error('NotReady', 'Resource Not Ready')
        for device in STATE['found'].get(name, []):
            GLib.timeout_add(device['found_ms'], add_device, adapter, device)

    @method(adapter, ADAPTER, '', '')
    def StopDiscovery(_self):
        log('StopDiscovery', name)

    @method(adapter, ADAPTER, 'o', '')
    def RemoveDevice(_self, device_path):
        log('RemoveDevice', device_path)
        adapter.RemoveObject(device_path)


# Also the callback of a device's timer: once found again, it is there already. Falsy: the timer ends.
def add_device(adapter, entry):
    address = entry['address']
    path = adapter.path + '/dev_' + address.replace(':', '_')
    if path in mockobject.objects:
        return False
    props = {'Address': dbus.String(address, variant_level=1),
             'AddressType': dbus.String('public', variant_level=1),  # one the backend skips
             'Paired': dbus.Boolean(entry.get('paired', False), variant_level=1),
             'Bonded': dbus.Boolean(entry.get('paired', False), variant_level=1),
             'Trusted': dbus.Boolean(entry.get('trusted', False), variant_level=1),
             'Connected': dbus.Boolean(False, variant_level=1),
             'Adapter': dbus.ObjectPath(adapter.path, variant_level=1)}
    for key, default, kind in (('name', 'Korvanta', dbus.String), ('class', 0x1F00, dbus.UInt32)):
        if entry.get(key, default):
            props[key.capitalize()] = kind(entry.get(key, default), variant_level=1)
    adapter.AddObject(path, DEVICE, props, [])
    device = mockobject.objects[path]
    device.sockets = []

    @method(device, DEVICE, '', '', sender_keyword='sender', async_callbacks=('ok', 'err'))
    def Pair(_self, sender=None, ok=None, err=None):
        log('Pair', address)
        if entry.get('silent'):
            return
        if device.props[DEVICE]['Paired']:
            return err(error('AlreadyExists', 'Already Exists'))
        passkey = entry.get('passkey', 0)
        call, expected = ('RequestPasskey', passkey) if passkey else ('RequestPinCode', entry.get('pin', '73914'))
        try:
            answer = device.connection.call_blocking(sender, STATE['agents'][sender], 'org.bluez.Agent1', call,
                                                     'o', [dbus.ObjectPath(path)], timeout=5)
        except dbus.exceptions.DBusException as refused:
            rejected = refused.get_dbus_name() == 'org.bluez.Error.Rejected'
            return err(error('AuthenticationRejected' if rejected else 'AuthenticationFailed', 'Refused'))
        if answer != expected:
            return err(error('AuthenticationFailed', 'Authentication Failed'))
        device.UpdateProperties(DEVICE, {'Paired': dbus.Boolean(True), 'Bonded': dbus.Boolean(True)})
        return ok()

    @method(device, DEVICE, 's', '', async_callbacks=('ok', 'err'))
    def ConnectProfile(_self, uuid, ok=None, err=None):
        log('ConnectProfile', address, uuid)
        owner = STATE['profiles'].get(str(uuid).lower())
        if entry.get('connect_error') or owner is None:
            return err(error('Failed', entry.get('connect_error') or 'br-connection-profile-unavailable'))
        mine, theirs = socket.socketpair()
        mine.sendall(f'KVMOCK {address}\n'.encode('ascii'))
        device.sockets.append(mine)

        def hand_over():
            device.connection.call_blocking(owner[0], owner[1], 'org.bluez.Profile1', 'NewConnection', 'oha{sv}',
                                            [dbus.ObjectPath(path), dbus.types.UnixFd(theirs), {}], timeout=5)
            theirs.close()
        if entry.get('late'):
            ok()
            GLib.timeout_add(50, hand_over)
        else:
            hand_over()
            ok()

    @method(device, dbus.PROPERTIES_IFACE, 'ssv', '')
    def Set(_self, interface, name, value):
        log('Set', name, address, bool(value))
        device.UpdateProperties(interface, {name: value})


def load(mock, parameters):
    mock.AddObject('/org/bluez', AGENTS, {}, [])
    manager = mockobject.objects['/org/bluez']

    @method(manager, AGENTS, 'os', '', sender_keyword='sender')
    def RegisterAgent(_self, path, capability, sender=None):
        log('RegisterAgent', path, capability)
        STATE['agents'][sender] = path

    @method(manager, AGENTS, 'o', '')
    def UnregisterAgent(_self, path):
        log('UnregisterAgent', path)

    @method(manager, PROFILES, 'osa{sv}', '', sender_keyword='sender')
    def RegisterProfile(_self, path, uuid, options, sender=None):
        log('RegisterProfile', path, uuid, 'Role=' + options.get('Role', ''))
        STATE['profiles'][str(uuid).lower()] = (sender, path)

    @method(manager, PROFILES, 'o', '')
    def UnregisterProfile(_self, path):
        log('UnregisterProfile', path)

    for entry in parameters.get('adapters', [{'name': 'hci0'}]):
        add_adapter(mock, entry)
    for entry in parameters.get('devices', []):
        adapter = mockobject.objects['/org/bluez/' + entry.get('adapter', 'hci0')]
        if entry.get('found_ms', -1) >= 0:
            STATE['found'].setdefault(entry.get('adapter', 'hci0'), []).append(entry)
        else:
            add_device(adapter, entry)
    open(os.environ['KV_MOCK_BLUEZ_LOG'], 'a', encoding='utf-8').close()

